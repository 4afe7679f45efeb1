#include "raw_doubles.h"

#include <cstdio>

bool writeDoubles(const std::string& path, const std::vector<double>& values)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    const bool written = std::fwrite(values.data(), sizeof(double), values.size(), file) == values.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool readDoubles(const std::string& path, size_t count, std::vector<double>& values)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    values.resize(count);
    const size_t read = std::fread(values.data(), sizeof(double), count, file);
    // One more byte would mean the file holds more than it should.
    const bool exact = read == count && std::fgetc(file) == EOF;
    std::fclose(file);
    if (!exact)
        std::fprintf(stderr, "%s does not hold exactly %zu doubles\n", path.c_str(), count);
    return exact;
}
