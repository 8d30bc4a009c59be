#pragma once
// One check item: what a probe found and how it is judged.
#include <string>

enum ItemKind {
    kItemCpu = 1,
    kItemMemory = 2,
    kItemOperatingSystem = 3,
    kItemServicePack = 4,
    kItemBrowserVersion = 5,
    kItemBrowserSettings = 6,
    kItemConnectivity = 7,
    kItemComponents = 8,
    kItemPatch = 10,
};

enum ItemState {
    kStatePassed = 1,
    kStateFailed = 2,
    kStateWarning = 3,
};

// Slots of the controls inside a row (row control identifiers are
// 10000 + 100 * kind + slot).
enum RowSlot {
    kSlotStateIcon = 1,
    kSlotActionButton = 5,
    kSlotProgressBar = 6,
    kSlotStatusText = 7,
};

struct CheckItem {
    int kind = kItemCpu;
    std::string title;
    std::string description;
    int installed = 0;
    std::string optimal;
    int progress = 0;
    int state = kStatePassed;
    int row = 0;
};

// The item's title in the interface language.
const char* CheckItemTitle(int kind, bool english);
// The item's fixed description ("" for items that describe what was found).
const char* CheckItemDescription(int kind, bool english);

// The requirement profile every check run uses.
const int kCheckProfile = 1;

// Optimal text of a kind for a requirement profile (1..5), "" otherwise.
const char* OptimalText(int kind, int profile, bool english);
