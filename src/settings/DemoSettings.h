#pragma once

// demo.ini, read only: the partner's and the product's demo switches for the main window.

#include <string>

namespace qv {

struct DemoEntry {
    int enableDemo = 0;
    std::string demoGraphic;
    std::string demoUrl;
};

struct DemoSettings {
    DemoEntry partner;  // [Partner]
    DemoEntry main;     // [Main]

    static DemoSettings Read(const std::string& path);
};

}  // namespace qv
