#include "check/checkitem.h"

namespace {
struct ItemTitle {
    int kind;
    const char* chinese;
    const char* english;
    // Fixed descriptions; the others are what the probe found.
    const char* chineseDescription;
    const char* englishDescription;
};

const ItemTitle kTitles[] = {
    {kItemCpu, "CPU检测", "CPU Check", "", ""},
    {kItemMemory, "内存检测", "Memory", "", ""},
    {kItemOperatingSystem, "操作系统", "OS", "", ""},
    {kItemServicePack, "系统补丁", "OS Patch", "", ""},
    {kItemBrowserVersion, "浏览器(IE)", "Browser(IE)", "", ""},
    {kItemBrowserSettings, "IE设置/优化", "IE Settings", "优化IE访问速度和InterNet选项配置",
     "Optimization of IE speed and  options"},
    {kItemConnectivity, "服务器端连通性", "Connectivity", "检测客户端与服务器是否能够连接",
     " Server will be able to connect"},
    {kItemComponents, "第三方组件检测", "Third Party", "第三方组件检测", "Third Party Tools"},
    {kItemPatch, "系统/IE补丁检测", "System/IE Patch", "", ""},
};

struct ItemOptimal {
    int kind;
    // Indexed by requirement profile - 1.
    const char* chinese[5];
    const char* english[5];
};

// Only the processor, memory and browser-version items recommend a value.
const ItemOptimal kOptimals[] = {
    {kItemCpu,
     {"两路双核cpu 2.0以上", "两路双核cpu 2.0以上", "两路双核cpu 2.0以上", "两路双核cpu 2.0以上",
      "两路双核cpu 2.0以上"},
     {"Two dual core CPU 2", "Two dual core CPU 2", "Two dual core CPU 2", "Two dual core CPU 2",
      "Two dual core CPU 2"}},
    {kItemMemory,
     {"2G以上", "8G以上", "4G以上", "4G以上", "4G以上"},
     {"2G Upper", "8G Upper", "4G Upper", "4G Upper", "4G Upper"}},
    {kItemBrowserVersion,
     {"IE 8以上(32位)", "IE 8以上(32位)", "IE 8以上(32位)", "IE 8以上(32位)", "IE 8以上(32位)"},
     {"IE 8 or later(32bit)", "IE 8 or later(32bit)", "IE 8 or later(32bit)", "IE 8 or later(32bit)",
      "IE 8 or later(32bit)"}},
};
} // namespace

const char* CheckItemTitle(int kind, bool english)
{
    for (const ItemTitle& title : kTitles)
        if (title.kind == kind) return english ? title.english : title.chinese;
    return "";
}

const char* CheckItemDescription(int kind, bool english)
{
    for (const ItemTitle& title : kTitles)
        if (title.kind == kind) return english ? title.englishDescription : title.chineseDescription;
    return "";
}

const char* OptimalText(int kind, int profile, bool english)
{
    if (profile < 1 || profile > 5) return "";
    for (const ItemOptimal& optimal : kOptimals)
        if (optimal.kind == kind) return english ? optimal.english[profile - 1] : optimal.chinese[profile - 1];
    return "";
}
