// One value as the engines hold it: NULL, a 64-bit integer, a double, a
// UTF-8 text or a byte string. Row buffers, parameters and row identities of
// the SQL layer are made of these.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

class CSqlValue {
public:
    enum class Type { Null, Integer, Real, Text, Blob };

    CSqlValue() = default;
    static CSqlValue Integer(int64_t v) { return CSqlValue(Store(std::in_place_index<1>, v)); }
    static CSqlValue Real(double v) { return CSqlValue(Store(std::in_place_index<2>, v)); }
    static CSqlValue Text(std::string v) { return CSqlValue(Store(std::in_place_index<3>, std::move(v))); }
    static CSqlValue Blob(std::vector<uint8_t> v) { return CSqlValue(Store(std::in_place_index<4>, std::move(v))); }

    Type GetType() const { return static_cast<Type>(m_value.index()); }
    bool IsNull() const { return m_value.index() == 0; }
    int64_t GetInteger() const { return std::get<1>(m_value); }
    double GetReal() const { return std::get<2>(m_value); }
    const std::string& GetText() const { return std::get<3>(m_value); }
    const std::vector<uint8_t>& GetBlob() const { return std::get<4>(m_value); }

    // In-place setters: a text or blob value reuses the storage this value
    // already holds (row buffers read row after row without allocating).
    void SetNull() { m_value.emplace<0>(); }
    void SetInteger(int64_t v) { m_value.emplace<1>(v); }
    void SetReal(double v) { m_value.emplace<2>(v); }
    void SetText(const char* p, size_t n)
    {
        if (m_value.index() == 3)
            std::get<3>(m_value).assign(p, n);
        else
            m_value.emplace<3>(p, n);
    }
    void SetBlob(const uint8_t* p, size_t n)
    {
        if (m_value.index() == 4)
            std::get<4>(m_value).assign(p, p + n);
        else
            m_value.emplace<4>(p, p + n);
    }

    // Orders values of one kind (row identities kept in sets).
    bool operator<(const CSqlValue& other) const { return m_value < other.m_value; }
    bool operator==(const CSqlValue& other) const { return m_value == other.m_value; }

private:
    using Store = std::variant<std::monostate, int64_t, double, std::string, std::vector<uint8_t>>;
    explicit CSqlValue(Store v) : m_value(std::move(v)) {}
    Store m_value;
};
