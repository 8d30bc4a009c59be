#pragma once
// Attribute tables of controls and skins: each class declares the
// attributes it knows as one line apiece (name -> setter) and tries its
// own table before its base class's, so adding an attribute is one line
// beside the others, never a branch in a chain.
#include <stddef.h>

#include <string>

namespace SkinEngine {

// One line of an attribute table.
template <class T>
struct AttrSetter {
    const char* name;
    void (*set)(T& target, const std::string& value);
};

// Runs the setter of `name` on `target`; false when the table has no line
// of that name (the caller then asks the base class).
template <class T, size_t N>
bool ApplyFromTable(const AttrSetter<T> (&table)[N], T& target, const std::string& name,
                    const std::string& value)
{
    for (const AttrSetter<T>& line : table)
        if (name == line.name) {
            line.set(target, value);
            return true;
        }
    return false;
}

}  // namespace SkinEngine
