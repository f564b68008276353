#pragma once
// Property setters store a new value only when it differs from the stored one,
// and only then show or report the change.

// Stores value in field; false when they were equal already.
template <typename T> bool store(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}
