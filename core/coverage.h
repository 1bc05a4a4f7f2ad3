#pragma once
// Coverage sets: ordered, duplicate-free sets of code offsets and data addresses.
// Both are bitmaps so that recording on every step stays cheap; iteration is ascending.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Set of 16-bit code offsets: one bit per offset.
class OffsetSet {
public:
    bool insert(uint16_t offset) {
        uint64_t& word = bits_[offset >> 6];
        const uint64_t mask = uint64_t{1} << (offset & 63);
        if (word & mask) return false;
        word |= mask;
        ++count_;
        return true;
    }
    bool contains(uint16_t offset) const { return (bits_[offset >> 6] >> (offset & 63)) & 1; }
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    void clear() {
        bits_.fill(0);
        count_ = 0;
    }
    template <class F>
    void forEach(F&& visit) const {
        for (size_t w = 0; w < bits_.size(); ++w) {
            for (uint64_t word = bits_[w]; word != 0; word &= word - 1) {
                visit(static_cast<uint16_t>(w * 64 + static_cast<unsigned>(__builtin_ctzll(word))));
            }
        }
    }

private:
    std::array<uint64_t, 65536 / 64> bits_{};
    size_t count_ = 0;
};

// Set of 32-bit linear addresses: a bitmap page per 64 Ki addresses, allocated on first use.
class AddressSet {
public:
    bool insert(uint32_t address) {
        auto& page = pages_[address >> 16];
        if (!page) page = std::make_unique<Page>();
        const uint16_t low = static_cast<uint16_t>(address);
        uint64_t& word = (*page)[low >> 6];
        const uint64_t mask = uint64_t{1} << (low & 63);
        if (word & mask) return false;
        word |= mask;
        ++count_;
        return true;
    }
    bool contains(uint32_t address) const {
        const auto& page = pages_[address >> 16];
        const uint16_t low = static_cast<uint16_t>(address);
        return page && (((*page)[low >> 6] >> (low & 63)) & 1);
    }
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    void clear() {
        for (auto& page : pages_) page.reset();
        count_ = 0;
    }
    template <class F>
    void forEach(F&& visit) const {
        for (size_t p = 0; p < pages_.size(); ++p) {
            if (!pages_[p]) continue;
            const Page& page = *pages_[p];
            for (size_t w = 0; w < page.size(); ++w) {
                for (uint64_t word = page[w]; word != 0; word &= word - 1) {
                    const auto bit = static_cast<uint32_t>(__builtin_ctzll(word));
                    visit(static_cast<uint32_t>((p << 16) | (w * 64) | bit));
                }
            }
        }
    }

private:
    using Page = std::array<uint64_t, 65536 / 64>;
    std::vector<std::unique_ptr<Page>> pages_ = std::vector<std::unique_ptr<Page>>(65536);
    size_t count_ = 0;
};
