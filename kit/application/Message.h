// BMessage: a what code and named, typed fields. A value: copying it copies its fields, and a
// queue holds its own copy. Not shared between threads; each thread works on its own copy.
// The first few fields, with their first values, live inside the message, so that the usual
// message (a move, a mouse press, a tick) is made, copied and queued without a heap allocation.
#pragma once

#include <array>
#include <string>
#include <variant>
#include <vector>

#include "kit/application/AppDefs.h"
#include "kit/interface/Point.h"
#include "kit/kernel/OS.h"

class BMessage {
public:
    uint32 what = 0;

    BMessage() = default;
    explicit BMessage(uint32 what) : what(what) {}

    // Add* appends a value to the field of that name, made on first use. B_BAD_TYPE when the
    // field exists with another type, B_BAD_VALUE for a null name (or a null string).
    status_t AddString(const char* name, const char* string);
    status_t AddString(const char* name, const std::string& string);
    status_t AddInt8(const char* name, int8 value);
    status_t AddInt32(const char* name, int32 value);
    status_t AddInt64(const char* name, int64 value);
    status_t AddPoint(const char* name, BPoint value);

    // Find* reads a value: B_NAME_NOT_FOUND when there is no such field, B_BAD_TYPE when the
    // field has another type, B_BAD_INDEX past its last value. A found string stays valid while
    // the message lives unchanged.
    status_t FindString(const char* name, const char** string) const;
    status_t FindString(const char* name, std::string* string) const;
    status_t FindInt8(const char* name, int8* value) const;
    status_t FindInt32(const char* name, int32* value) const;
    status_t FindInt64(const char* name, int64* value) const;
    status_t FindPoint(const char* name, BPoint* value) const;

    int32 CountNames() const { return fInlineCount + static_cast<int32>(fMoreFields.size()); }
    bool IsEmpty() const { return CountNames() == 0; }

private:
    using Value = std::variant<std::string, int8, int32, int64, BPoint>;
    struct Field {
        std::string name;
        type_code type{};
        Value first;
        std::vector<Value> more;  // the values after the first

        int32 Count() const { return 1 + static_cast<int32>(more.size()); }
        const Value& At(int32 index) const { return index == 0 ? first : more[index - 1]; }
    };
    static constexpr int32 kInlineFields = 4;

    Field& FieldAt(int32 index);
    const Field& FieldAt(int32 index) const;
    int32 IndexOf(const char* name) const;  // -1 when there is no such field
    const Field* FindField(const char* name) const;
    status_t AddValue(const char* name, type_code type, Value value);
    template <typename T>
    status_t FindValue(const char* name, type_code type, int32 index, T* value) const;

    std::array<Field, kInlineFields> fInlineFields;  // the first fields; fInlineCount in use
    int32 fInlineCount = 0;
    std::vector<Field> fMoreFields;  // the fields after those
};
