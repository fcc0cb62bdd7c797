// The received SonicLink byte stream: one element per byte (0-255), in the order received.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zendrik {

class ReceivedBytes {
public:
    // Appends one byte value and returns its index.
    std::ptrdiff_t Add(std::int32_t value) {
        m_elements.push_back(value);
        return static_cast<std::ptrdiff_t>(m_elements.size()) - 1;
    }

    // Sets the element count; new elements are 0, and a count of 0 releases the storage.
    void SetSize(std::ptrdiff_t count);

    // Number of elements.
    std::ptrdiff_t GetSize() const { return static_cast<std::ptrdiff_t>(m_elements.size()); }

    // Element i, 0 <= i < GetSize().
    std::int32_t operator[](std::ptrdiff_t i) const { return m_elements[static_cast<std::size_t>(i)]; }

    // The bounded view every decoder reads through: a position outside the received bytes
    // reads as 0, so a short or truncated stream can never be read past its end.
    std::int32_t At(std::ptrdiff_t i) const {
        return (i >= 0 && i < GetSize()) ? m_elements[static_cast<std::size_t>(i)] : 0;
    }

    void Reserve(std::ptrdiff_t count) { m_elements.reserve(static_cast<std::size_t>(count)); }

    const std::vector<std::int32_t>& Elements() const { return m_elements; }

    bool operator==(const ReceivedBytes& other) const = default;

private:
    std::vector<std::int32_t> m_elements;
};

}  // namespace zendrik
