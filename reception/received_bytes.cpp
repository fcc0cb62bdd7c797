#include "reception/received_bytes.h"

namespace zendrik {

void ReceivedBytes::SetSize(std::ptrdiff_t count) {
    if (count <= 0) {
        // Give the memory back, not just the elements: a new reception starts from nothing.
        std::vector<std::int32_t>().swap(m_elements);
        return;
    }
    m_elements.resize(static_cast<std::size_t>(count), 0);
}

}  // namespace zendrik
