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
