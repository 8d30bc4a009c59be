#pragma once
// Optimal texts, state skins, row control identifiers and the markup of
// one result row.
#include "check/checkitem.h"

#include <string>

// The requirement profile every check run uses.
const int kCheckProfile = 1;

// Optimal text of a kind for a requirement profile (1..5), "" otherwise.
const char* OptimalText(int kind, int profile, bool english);

// 10000 + 100 * kind + slot.
int RowControlId(int kind, int slot);

// The row markup the list box parses.
std::string BuildCheckRowMarkup(const CheckItem& item);
