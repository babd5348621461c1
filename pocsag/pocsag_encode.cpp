// SPDX-License-Identifier: MIT
#include "pocsag_encode.h"

namespace {

// The generator's terms below x^10, fed back by the check-bit register.
constexpr uint32_t generator_low_terms = 0x369;

// The 4-bit value of a numeric character; anything unknown is a space.
uint32_t numeric_value(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
    switch (c) {
        case '*':
            return 10;
        case 'U':
            return 11;
        case '-':
            return 13;
        case ')':
            return 14;
        case '(':
            return 15;
        default:
            return 12;
    }
}

// Packs a stream of bits into 20-bit words, first bit as bit 19, the last word
// filled with zero bits.
struct word_packer {
    std::vector<uint32_t> words;
    int used = 20;
    void push(uint32_t bit) {
        if (used == 20) {
            words.push_back(0);
            used = 0;
        }
        words.back() |= (bit & 1u) << (19 - used);
        ++used;
    }
};

}  // namespace

uint32_t bch_31_21_encode(uint32_t data) {
    data &= 0x1FFFFFu;
    // Check-bit shift register: the remainder of data * x^10 by g(x).
    uint32_t check = 0;
    for (int bit = 20; bit >= 0; --bit) {
        uint32_t feedback = ((data >> bit) & 1u) ^ ((check >> 9) & 1u);
        check = (check << 1) & 0x3FFu;
        if (feedback) check ^= generator_low_terms;
    }
    return (data << 10) | check;
}

uint32_t pocsag_codeword(uint32_t data) {
    uint32_t word = bch_31_21_encode(data);
    uint32_t ones = 0;
    for (uint32_t w = word; w; w >>= 1) ones += w & 1u;
    return (word << 1) | (ones & 1u);
}

uint32_t pocsag_address_codeword(int32_t address, int function) {
    uint32_t high_bits = (static_cast<uint32_t>(address) >> 3) & 0x3FFFFu;
    return pocsag_codeword((high_bits << 2) | (static_cast<uint32_t>(function) & 3u));
}

uint32_t pocsag_message_codeword(uint32_t bits) { return pocsag_codeword((1u << 20) | (bits & 0xFFFFFu)); }

std::vector<uint32_t> pocsag_numeric_words(std::string_view text) {
    word_packer packer;
    for (char c : text) {
        uint32_t value = numeric_value(c);
        for (int k = 0; k < 4; ++k) packer.push(value >> k);
    }
    while (packer.used != 20)
        for (int k = 0; k < 4; ++k) packer.push(numeric_value(' ') >> k);
    return packer.words;
}

std::vector<uint32_t> pocsag_alphanumeric_words(std::string_view text) {
    word_packer packer;
    for (char c : text)
        for (int k = 0; k < 7; ++k) packer.push(static_cast<uint32_t>(static_cast<unsigned char>(c)) >> k);
    return packer.words;
}

std::vector<uint32_t> pocsag_page_codewords(const std::vector<pocsag_page> &pages) {
    std::vector<uint32_t> codewords;
    for (const pocsag_page &page : pages) {
        int frame = pocsag_address_frame(page.address);
        while (static_cast<int>(codewords.size() % encode_batch_codewords) / 2 != frame)
            codewords.push_back(encode_idle_codeword);
        codewords.push_back(pocsag_address_codeword(page.address, page.function));
        std::vector<uint32_t> words = page.kind == pocsag_text_kind::numeric ? pocsag_numeric_words(page.text)
                                                                             : pocsag_alphanumeric_words(page.text);
        for (uint32_t w : words) codewords.push_back(pocsag_message_codeword(w));
    }
    do {
        codewords.push_back(encode_idle_codeword);
    } while (codewords.size() % encode_batch_codewords != 0);
    return codewords;
}

void append_codeword_bits(std::vector<uint8_t> &bits, uint32_t codeword) {
    for (int bit = 31; bit >= 0; --bit) bits.push_back(static_cast<uint8_t>((codeword >> bit) & 1u));
}

std::vector<uint8_t> pocsag_batch_bits(const std::vector<uint32_t> &codewords, int preamble_bits) {
    std::vector<uint8_t> bits;
    for (int i = 0; i < preamble_bits; ++i) bits.push_back(static_cast<uint8_t>((i & 1) == 0));
    for (std::size_t i = 0; i < codewords.size() || i % encode_batch_codewords != 0; ++i) {
        if (i % encode_batch_codewords == 0) append_codeword_bits(bits, encode_sync_codeword);
        append_codeword_bits(bits, i < codewords.size() ? codewords[i] : encode_idle_codeword);
    }
    return bits;
}

std::vector<uint8_t> pocsag_transmission(const std::vector<pocsag_page> &pages, int preamble_bits) {
    return pocsag_batch_bits(pocsag_page_codewords(pages), preamble_bits);
}
