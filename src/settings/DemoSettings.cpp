#include "settings/DemoSettings.h"

#include "settings/IniFile.h"

namespace qv {

namespace {

DemoEntry ReadEntry(const IniFile& file, const char* section) {
    DemoEntry e;
    e.enableDemo = file.GetInt(section, "EnableDemo", 0);
    e.demoGraphic = file.GetString(section, "DemoGraphic", "");
    e.demoUrl = file.GetString(section, "DemoURL", "");
    return e;
}

}  // namespace

DemoSettings DemoSettings::Read(const std::string& path) {
    IniFile file(path);
    return DemoSettings{ReadEntry(file, "Partner"), ReadEntry(file, "Main")};
}

}  // namespace qv
