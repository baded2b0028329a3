#pragma once
// The event names held in the platform's trace, oldest first: for each record
// of one category and event, the text of its first item ('c', a static name),
// or with details the texts of all its 'c' items joined by ": ".
#include <cstring>
#include <string>
#include <vector>

#include "SpControl.h"
#include "TraceTable.h"

namespace qvtest {

inline std::vector<std::string> TracedNames(unsigned short category, unsigned short event, bool details = false) {
    struct Filter {
        unsigned short category, event;
        bool details;
        std::vector<std::string> names;
    } filter{category, event, details, {}};
    _pSupport->trace.Walk(
        [](const TRACERECORD* r, void* context) -> BBOOL {
            Filter& f = *static_cast<Filter*>(context);
            if (r->category != f.category || r->event != f.event) return TRUE;
            const unsigned char* item = reinterpret_cast<const unsigned char*>(r) + sizeof(TRACERECORD);
            const unsigned char* end = reinterpret_cast<const unsigned char*>(r) + r->length;
            std::string joined;
            for (int n = 0; n < r->items && item < end; ++n) {
                const char kind = static_cast<char>(item[0]);
                if (kind == 'c') {
                    const char* text;
                    std::memcpy(&text, item + 1, sizeof text);
                    joined += (joined.empty() ? "" : ": ") + std::string(text);
                    if (!f.details) break;
                }
                if (int size = TraceItemSize(kind)) {
                    item += size;
                } else if (kind == 's') {
                    item += 2 + std::strlen(reinterpret_cast<const char*>(item + 1));
                } else if (kind == 'd') {
                    unsigned short length;
                    std::memcpy(&length, item + 1, sizeof length);
                    item += 3 + length;
                } else {
                    break;
                }
            }
            if (!joined.empty()) f.names.push_back(joined);
            return TRUE;
        },
        &filter);
    return filter.names;
}

}  // namespace qvtest
