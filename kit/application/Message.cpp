#include "kit/application/Message.h"

BMessage::Field& BMessage::FieldAt(int32 index) {
    return index < kInlineFields ? fInlineFields[index] : fMoreFields[index - kInlineFields];
}

const BMessage::Field& BMessage::FieldAt(int32 index) const {
    return index < kInlineFields ? fInlineFields[index] : fMoreFields[index - kInlineFields];
}

int32 BMessage::IndexOf(const char* name) const {
    for (int32 index = 0; name != nullptr && index < CountNames(); ++index) {
        if (FieldAt(index).name == name)
            return index;
    }
    return -1;
}

const BMessage::Field* BMessage::FindField(const char* name) const {
    const int32 index = IndexOf(name);
    return index < 0 ? nullptr : &FieldAt(index);
}

status_t BMessage::AddValue(const char* name, type_code type, Value value) {
    if (name == nullptr)
        return B_BAD_VALUE;
    if (const int32 index = IndexOf(name); index >= 0) {
        Field& field = FieldAt(index);
        if (field.type != type)
            return B_BAD_TYPE;
        field.more.push_back(std::move(value));
        return B_OK;
    }
    Field added{name, type, std::move(value), {}};
    if (fInlineCount < kInlineFields)
        fInlineFields[fInlineCount++] = std::move(added);
    else
        fMoreFields.push_back(std::move(added));
    return B_OK;
}

template <typename T>
status_t BMessage::FindValue(const char* name, type_code type, int32 index, T* value) const {
    const Field* field = FindField(name);
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    if (field->type != type)
        return B_BAD_TYPE;
    if (index < 0 || index >= field->Count())
        return B_BAD_INDEX;
    if (value != nullptr)
        *value = std::get<T>(field->At(index));
    return B_OK;
}

status_t BMessage::AddString(const char* name, const char* string) {
    if (string == nullptr)
        return B_BAD_VALUE;
    return AddValue(name, B_STRING_TYPE, std::string(string));
}

status_t BMessage::AddString(const char* name, const std::string& string) {
    return AddValue(name, B_STRING_TYPE, string);
}

status_t BMessage::AddInt8(const char* name, int8 value) {
    return AddValue(name, B_INT8_TYPE, value);
}
status_t BMessage::AddInt32(const char* name, int32 value) {
    return AddValue(name, B_INT32_TYPE, value);
}
status_t BMessage::AddInt64(const char* name, int64 value) {
    return AddValue(name, B_INT64_TYPE, value);
}
status_t BMessage::AddPoint(const char* name, BPoint value) {
    return AddValue(name, B_POINT_TYPE, value);
}

status_t BMessage::FindString(const char* name, const char** string) const {
    const Field* field = FindField(name);
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    if (field->type != B_STRING_TYPE)
        return B_BAD_TYPE;
    if (string != nullptr)
        *string = std::get<std::string>(field->first).c_str();
    return B_OK;
}

status_t BMessage::FindString(const char* name, std::string* string) const {
    return FindValue(name, B_STRING_TYPE, 0, string);
}

status_t BMessage::FindInt8(const char* name, int8* value) const {
    return FindValue(name, B_INT8_TYPE, 0, value);
}
status_t BMessage::FindInt32(const char* name, int32* value) const {
    return FindValue(name, B_INT32_TYPE, 0, value);
}
status_t BMessage::FindInt64(const char* name, int64* value) const {
    return FindValue(name, B_INT64_TYPE, 0, value);
}
status_t BMessage::FindPoint(const char* name, BPoint* value) const {
    return FindValue(name, B_POINT_TYPE, 0, value);
}
