// simplexQPopt's options as a caller writes them: a 1-by-1 struct of the
// fields given, made through the stand-in host, for the tests and the
// benchmark that call the plug-in file.
#ifndef SIMPLEXQP_TESTS_OPTIONS_STRUCT_H
#define SIMPLEXQP_TESTS_OPTIONS_STRUCT_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "stand_in.h"

// The struct owns the values given; a null value leaves its field unset
// (empty), as a struct built with that field name alone.
inline mxArray* optionsOf(const std::vector<std::pair<const char*, mxArray*>>& fields)
{
    std::vector<const char*> names;
    for (const auto& field : fields)
        names.push_back(field.first);
    mxArray* options = mxCreateStructMatrix(1, 1, static_cast<int>(names.size()), names.data());
    for (const auto& field : fields)
        if (field.second)
            mxSetField(options, 0, field.first, field.second);
    return options;
}

// A char row of these characters, NULs included.
inline mxArray* charRow(const std::string& characters)
{
    mxArray* row = standInCreateArray(standInChar, 1, characters.size(), false, false, 0);
    uint16_t* stored = static_cast<uint16_t*>(standInRealData(row));
    for (size_t k = 0; k < characters.size(); ++k)
        stored[k] = static_cast<unsigned char>(characters[k]);
    return row;
}

#endif
