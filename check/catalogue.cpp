#include "check/checkitem.h"

namespace {
struct ItemTitle {
    int kind;
    const char* chinese;
    const char* english;
};

const ItemTitle kTitles[] = {
    {kItemCpu, "CPU检测", "CPU Check"},
    {kItemMemory, "内存检测", "Memory"},
    {kItemOperatingSystem, "操作系统", "OS"},
    {kItemServicePack, "系统补丁", "OS Patch"},
    {kItemBrowserVersion, "浏览器(IE)", "Browser(IE)"},
    {kItemBrowserSettings, "IE设置/优化", "IE Settings"},
    {kItemConnectivity, "服务器端连通性", "Connectivity"},
    {kItemComponents, "第三方组件检测", "Third Party"},
    {kItemPatch, "系统/IE补丁检测", "System/IE Patch"},
};
} // namespace

const char* CheckItemTitle(int kind, bool english)
{
    for (const ItemTitle& title : kTitles)
        if (title.kind == kind) return english ? title.english : title.chinese;
    return "";
}
