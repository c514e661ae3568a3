#pragma once

// What a request target names. The client writes page paths with backslashes and sends them as
// they are, so '\', '%5C' and '/' all separate path parts; page names are matched without regard
// to letter case.

#include <string>
#include <string_view>

namespace qv::dirsvc {

struct RequestTarget {
    enum class Kind {
        kPage,   // \Quorvane\<page>.asp
        kRoot,   // the folder root, probed once when a client starts
        kProbe,  // /it.html, fetched after every request
        kUnknown,
    };

    Kind kind = Kind::kUnknown;
    std::string page;      // lower case, without ".asp"
    std::string rawQuery;  // after the first '?', undecoded

    static RequestTarget Parse(std::string_view target);
};

}  // namespace qv::dirsvc
