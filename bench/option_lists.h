// The benchmark programs' list options: "500,1000,2000" and "density,mixture".
#ifndef SIMPLEXQP_BENCH_OPTION_LISTS_H
#define SIMPLEXQP_BENCH_OPTION_LISTS_H

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

inline uint32_t toCount(const std::string& text)
{
    return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

// The comma-separated items of `text`, empty items left out.
inline std::vector<std::string> nameList(const char* text)
{
    std::vector<std::string> names;
    std::string item;
    for (const char* c = text;; ++c) {
        if (*c == ',' || *c == '\0') {
            if (!item.empty())
                names.push_back(item);
            item.clear();
            if (*c == '\0')
                break;
        } else {
            item += *c;
        }
    }
    return names;
}

inline std::vector<uint32_t> sizeList(const char* text)
{
    std::vector<uint32_t> sizes;
    for (const std::string& item : nameList(text))
        sizes.push_back(toCount(item));
    return sizes;
}

#endif
