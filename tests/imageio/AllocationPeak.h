// The most bytes held through operator new at once since a start, so that a test can see what a
// read cost without timing it. The component's rasters and row buffers all come from there.
#pragma once

#include <cstddef>

namespace vx::test {

class AllocationPeak {
public:
    AllocationPeak(); // starts counting from what is held now
    std::size_t Bytes() const;

private:
    std::size_t m_base;
};

} // namespace vx::test
