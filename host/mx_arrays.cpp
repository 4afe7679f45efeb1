// Arrays of the stand-in host: what a plug-in may ask of an array handle,
// and how the host itself makes and destroys arrays.
#include <cstdint>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "guarded_storage.h"
#include "stand_in.h"
#include "stand_in_internal.h"

struct mxArray_tag {
    StandInClass arrayClass;
    size_t m;  // the first dimension
    size_t n;  // the product of the others, as a host's mxGetN reports it
    size_t dimensionCount;
    size_t dimensions[standInMostDimensions];
    int dimensions700[standInMostDimensions];  // the same, for the 32-bit interface
    bool complex;
    bool sparse;
    size_t elements;  // stored elements: m*n, a sparse array's capacity, or 0
    GuardedBlock real;
    GuardedBlock imag;  // empty unless complex
    // A struct array's fields: names, and m*n values per field (element
    // index times fieldCount plus field), owned by the array.
    int fieldCount;
    char** fieldNames;
    mxArray** fieldValues;
};

namespace {

struct ClassInfo {
    const char* name;
    size_t elementSize;
    bool numeric;
};

ClassInfo classInfo(StandInClass arrayClass)
{
    switch (arrayClass) {
    case standInDouble: return {"double", 8, true};
    case standInSingle: return {"single", 4, true};
    case standInLogical: return {"logical", 1, false};
    case standInChar: return {"char", 2, false};
    case standInInt8: return {"int8", 1, true};
    case standInUint8: return {"uint8", 1, true};
    case standInInt16: return {"int16", 2, true};
    case standInUint16: return {"uint16", 2, true};
    case standInInt32: return {"int32", 4, true};
    case standInUint32: return {"uint32", 4, true};
    case standInInt64: return {"int64", 8, true};
    case standInUint64: return {"uint64", 8, true};
    case standInCell: return {"cell", sizeof(void*), false};
    case standInStruct: return {"struct", sizeof(void*), false};
    }
    return {"unknown", 1, false};
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "stand-in host: %s\n", what);
    std::abort();
}

size_t checkedProduct(size_t a, size_t b)
{
    if (a != 0 && b > SIZE_MAX / a)
        fail("array dimensions overflow");
    return a * b;
}

// The dimensions as the 32-bit interface gives them; a dimension beyond its
// range cannot be described there (a real host refuses such arrays in that
// interface), so it is given as -1, which no caller can mistake for a size.
void keepDimensions700(mxArray* array)
{
    for (size_t k = 0; k < array->dimensionCount; ++k)
        array->dimensions700[k] = array->dimensions[k] <= INT_MAX ? static_cast<int>(array->dimensions[k]) : -1;
}

size_t& liveArrays()
{
    static size_t count = 0;
    return count;
}

mxArray* newArray(StandInClass arrayClass, size_t m, size_t n, bool complex, bool sparse, size_t stored)
{
    mxArray* array = static_cast<mxArray*>(std::calloc(1, sizeof(mxArray)));
    if (!array)
        fail("out of memory for an array");
    const size_t bytes = checkedProduct(stored, classInfo(arrayClass).elementSize);
    array->arrayClass = arrayClass;
    array->m = m;
    array->n = n;
    array->dimensionCount = 2;
    array->dimensions[0] = m;
    array->dimensions[1] = n;
    keepDimensions700(array);
    array->complex = complex;
    array->sparse = sparse;
    array->elements = stored;
    array->real = guardedAllocate(bytes);
    if (complex)
        array->imag = guardedAllocate(bytes);
    ++liveArrays();
    return array;
}

double elementAsDouble(const mxArray* array, size_t index)
{
    const void* p = array->real.data;
    switch (array->arrayClass) {
    case standInDouble: return static_cast<const double*>(p)[index];
    case standInSingle: return static_cast<const float*>(p)[index];
    case standInLogical: return static_cast<const uint8_t*>(p)[index];
    case standInChar: return static_cast<const uint16_t*>(p)[index];
    case standInInt8: return static_cast<const int8_t*>(p)[index];
    case standInUint8: return static_cast<const uint8_t*>(p)[index];
    case standInInt16: return static_cast<const int16_t*>(p)[index];
    case standInUint16: return static_cast<const uint16_t*>(p)[index];
    case standInInt32: return static_cast<const int32_t*>(p)[index];
    case standInUint32: return static_cast<const uint32_t*>(p)[index];
    case standInInt64: return static_cast<double>(static_cast<const int64_t*>(p)[index]);
    case standInUint64: return static_cast<double>(static_cast<const uint64_t*>(p)[index]);
    case standInCell:
    case standInStruct: return 0.0;
    }
    return 0.0;
}

}  // namespace

extern "C" mxArray* standInCreateArray(StandInClass arrayClass, size_t m, size_t n, bool complex, bool sparse,
                                       size_t nonzeros)
{
    // A host's sparse array always has room for at least one element.
    const size_t stored = sparse ? (nonzeros ? nonzeros : 1) : checkedProduct(m, n);
    return newArray(arrayClass, m, n, complex, sparse, stored);
}

extern "C" mxArray* standInCreateNumericArray(StandInClass arrayClass, size_t count, const size_t* dimensions,
                                              bool complex)
{
    // As a host does: at least two dimensions, and none of the trailing
    // singletons beyond the second (a 3-by-3-by-1 array is 3-by-3).
    size_t kept[standInMostDimensions] = {1, 1};
    if (count > standInMostDimensions)
        fail("more dimensions than the stand-in keeps");
    for (size_t k = 0; k < count; ++k)
        kept[k] = dimensions[k];
    size_t keptCount = count < 2 ? 2 : count;
    while (keptCount > 2 && kept[keptCount - 1] == 1)
        --keptCount;
    size_t columns = 1;
    for (size_t k = 1; k < keptCount; ++k)
        columns = checkedProduct(columns, kept[k]);
    mxArray* array = standInCreateArray(arrayClass, kept[0], columns, complex, false, 0);
    array->dimensionCount = keptCount;
    std::memcpy(array->dimensions, kept, sizeof kept);
    keepDimensions700(array);
    return array;
}

extern "C" mxArray* standInCreateHollow(StandInClass arrayClass, size_t m, size_t n)
{
    checkedProduct(m, n);  // its element count must still be representable
    return newArray(arrayClass, m, n, false, false, 0);
}

extern "C" mxArray* standInCreateDouble(size_t m, size_t n, const double* data)
{
    mxArray* array = standInCreateArray(standInDouble, m, n, false, false, 0);
    if (data && array->elements)
        std::memcpy(array->real.data, data, array->elements * sizeof(double));
    return array;
}

extern "C" void* standInRealData(const mxArray* array)
{
    return array->real.data;
}

extern "C" void* standInImagData(const mxArray* array)
{
    return array->imag.data;
}

extern "C" size_t standInStoredBytes(const mxArray* array)
{
    return array->elements * classInfo(array->arrayClass).elementSize;
}

extern "C" size_t standInLiveArrays(void)
{
    return liveArrays();
}

extern "C" void standInSetArgumentReadOnly(const mxArray* array, bool readOnly)
{
    guardedSetReadOnly(array->real, readOnly);
    guardedSetReadOnly(array->imag, readOnly);
}

extern "C" void mxDestroyArray(mxArray* array)
{
    if (!array)
        return;
    if (array->fieldValues) {
        for (size_t k = 0; k < array->m * array->n * static_cast<size_t>(array->fieldCount); ++k)
            mxDestroyArray(array->fieldValues[k]);
        for (int f = 0; f < array->fieldCount; ++f)
            std::free(array->fieldNames[f]);
        std::free(array->fieldValues);
        std::free(array->fieldNames);
    }
    guardedRelease(array->real);
    guardedRelease(array->imag);
    std::free(array);
    --liveArrays();
}

extern "C" mxArray* mxCreateDoubleMatrix(size_t m, size_t n, mxComplexity complexity)
{
    standInMemoryRequested();
    return standInCreateArray(standInDouble, m, n, complexity == mxCOMPLEX, false, 0);
}

extern "C" mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity complexity)
{
    if (m < 0 || n < 0)
        fail("mxCreateDoubleMatrix_700 with a negative dimension");
    return mxCreateDoubleMatrix(static_cast<size_t>(m), static_cast<size_t>(n), complexity);
}

extern "C" mxArray* mxCreateDoubleScalar(double value)
{
    standInMemoryRequested();
    return standInCreateDouble(1, 1, &value);
}

extern "C" mxArray* mxCreateLogicalScalar(bool value)
{
    standInMemoryRequested();
    mxArray* array = standInCreateArray(standInLogical, 1, 1, false, false, 0);
    *static_cast<uint8_t*>(array->real.data) = value ? 1 : 0;
    return array;
}

extern "C" mxArray* mxCreateStructMatrix(size_t m, size_t n, int fieldCount, const char** fieldNames)
{
    if (fieldCount < 0)
        fail("mxCreateStructMatrix with a negative field count");
    standInMemoryRequested();
    mxArray* array = newArray(standInStruct, m, n, false, false, 0);
    array->fieldCount = fieldCount;
    array->fieldNames = static_cast<char**>(std::calloc(fieldCount ? fieldCount : 1, sizeof(char*)));
    array->fieldValues = static_cast<mxArray**>(
        std::calloc(checkedProduct(checkedProduct(m, n), fieldCount) + 1, sizeof(mxArray*)));
    if (!array->fieldNames || !array->fieldValues)
        fail("out of memory for a struct array");
    for (int f = 0; f < fieldCount; ++f) {
        const size_t length = std::strlen(fieldNames[f]);
        array->fieldNames[f] = static_cast<char*>(std::malloc(length + 1));
        if (!array->fieldNames[f])
            fail("out of memory for a field name");
        std::memcpy(array->fieldNames[f], fieldNames[f], length + 1);
    }
    return array;
}

extern "C" mxArray* mxCreateStructMatrix_700(int m, int n, int fieldCount, const char** fieldNames)
{
    if (m < 0 || n < 0)
        fail("mxCreateStructMatrix_700 with a negative dimension");
    return mxCreateStructMatrix(static_cast<size_t>(m), static_cast<size_t>(n), fieldCount, fieldNames);
}

namespace {

// The slot of a field of one element, or null when there is no such field.
mxArray** fieldSlot(const mxArray* array, size_t index, const char* fieldName)
{
    if (array->arrayClass != standInStruct || !array->fieldValues || index >= array->m * array->n)
        return nullptr;
    for (int f = 0; f < array->fieldCount; ++f)
        if (std::strcmp(array->fieldNames[f], fieldName) == 0)
            return &array->fieldValues[index * array->fieldCount + f];
    return nullptr;
}

}  // namespace

// As a host does, the struct takes over the value, and a value it held
// before is destroyed. A field that does not exist is the caller's fault.
extern "C" void mxSetField(mxArray* array, size_t index, const char* fieldName, mxArray* value)
{
    mxArray** slot = fieldSlot(array, index, fieldName);
    if (!slot)
        fail("mxSetField of a field or element the struct does not have");
    mxDestroyArray(*slot);
    *slot = value;
}

extern "C" void mxSetField_700(mxArray* array, int index, const char* fieldName, mxArray* value)
{
    if (index < 0)
        fail("mxSetField_700 with a negative index");
    mxSetField(array, static_cast<size_t>(index), fieldName, value);
}

extern "C" int standInFieldCount(const mxArray* array)
{
    return array->arrayClass == standInStruct ? array->fieldCount : 0;
}

extern "C" const char* standInFieldName(const mxArray* array, int field)
{
    return field >= 0 && field < standInFieldCount(array) ? array->fieldNames[field] : nullptr;
}

extern "C" mxArray* standInGetField(const mxArray* array, size_t index, const char* fieldName)
{
    mxArray** slot = fieldSlot(array, index, fieldName);
    return slot ? *slot : nullptr;
}

extern "C" size_t mxGetM(const mxArray* array)
{
    return array->m;
}

extern "C" size_t mxGetN(const mxArray* array)
{
    return array->n;
}

extern "C" size_t mxGetNumberOfDimensions(const mxArray* array)
{
    return array->dimensionCount;
}

extern "C" const size_t* mxGetDimensions(const mxArray* array)
{
    return array->dimensions;
}

extern "C" int mxGetNumberOfDimensions_700(const mxArray* array)
{
    return static_cast<int>(array->dimensionCount);
}

extern "C" const int* mxGetDimensions_700(const mxArray* array)
{
    return array->dimensions700;
}

extern "C" size_t mxGetNumberOfElements(const mxArray* array)
{
    return checkedProduct(array->m, array->n);
}

// As in the hosts of its time, the real data of any numeric array, whatever
// its class: the caller is trusted to have checked the class.
extern "C" double* mxGetPr(const mxArray* array)
{
    return static_cast<double*>(array->real.data);
}

extern "C" double mxGetScalar(const mxArray* array)
{
    return array->elements ? elementAsDouble(array, 0) : 0.0;
}

extern "C" bool mxIsDouble(const mxArray* array)
{
    return array->arrayClass == standInDouble;
}

extern "C" bool mxIsComplex(const mxArray* array)
{
    return array->complex;
}

extern "C" bool mxIsSparse(const mxArray* array)
{
    return array->sparse;
}

extern "C" bool mxIsNumeric(const mxArray* array)
{
    return classInfo(array->arrayClass).numeric;
}

extern "C" const char* mxGetClassName(const mxArray* array)
{
    return classInfo(array->arrayClass).name;
}

extern "C" bool mxIsStruct(const mxArray* array)
{
    return array->arrayClass == standInStruct;
}

extern "C" bool mxIsChar(const mxArray* array)
{
    return array->arrayClass == standInChar;
}

extern "C" int mxGetNumberOfFields(const mxArray* array)
{
    return standInFieldCount(array);
}

extern "C" const char* mxGetFieldNameByNumber(const mxArray* array, int field)
{
    return standInFieldName(array, field);
}

// As a host does, null for a field or element the struct does not have.
extern "C" mxArray* mxGetFieldByNumber(const mxArray* array, size_t index, int field)
{
    if (array->arrayClass != standInStruct || field < 0 || field >= array->fieldCount ||
        index >= array->m * array->n)
        return nullptr;
    return array->fieldValues[index * array->fieldCount + field];
}

extern "C" mxArray* mxGetFieldByNumber_700(const mxArray* array, int index, int field)
{
    if (index < 0)
        fail("mxGetFieldByNumber_700 with a negative index");
    return mxGetFieldByNumber(array, static_cast<size_t>(index), field);
}

// The characters in column-major order, each cut to its low byte (the
// tests use ASCII), then a terminating zero; 1 when they did not all fit
// or the array is not a char array, as a host answers.
extern "C" int mxGetString(const mxArray* array, char* text, size_t length)
{
    if (length == 0)
        return 1;
    text[0] = '\0';
    if (array->arrayClass != standInChar)
        return 1;
    const size_t count = array->elements;
    const uint16_t* characters = static_cast<const uint16_t*>(array->real.data);
    size_t k = 0;
    for (; k < count && k + 1 < length; ++k)
        text[k] = static_cast<char>(characters[k] & 0xff);
    text[k] = '\0';
    return k < count ? 1 : 0;
}

extern "C" int mxGetString_700(const mxArray* array, char* text, int length)
{
    if (length < 0)
        fail("mxGetString_700 with a negative length");
    return mxGetString(array, text, static_cast<size_t>(length));
}

extern "C" mxArray* standInCreateString(const char* text)
{
    const size_t length = std::strlen(text);
    mxArray* array = standInCreateArray(standInChar, length ? 1 : 0, length, false, false, 0);
    uint16_t* characters = static_cast<uint16_t*>(array->real.data);
    for (size_t k = 0; k < length; ++k)
        characters[k] = static_cast<unsigned char>(text[k]);
    return array;
}
