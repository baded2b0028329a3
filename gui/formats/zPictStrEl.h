#pragma once
// Elements of a mask picture, one per position: a mask character, a set of
// allowed characters, or a literal that typing steps over.
#include <vector>

#include "QvWindows.h"

// Picture-element flags (the formatter's option word carries them).
const unsigned long zPictLower = 0x8000;     // store letters lower case
const unsigned long zPictUpper = 0x4000;     // store letters upper case
const unsigned long zPictRawText = 0x40000;  // leave empty positions and literals out
const unsigned long zPictShowFill = 0x200000;  // show placeholders for empty positions

// A set of bit positions; the size is rounded up to whole bytes as (n | 7) + 1.
class zBitVector {
public:
    explicit zBitVector(int bits);
    int size() const { return (int)bytes.size() * 8; }
    void set(int bit, int on = 1);
    int test(int bit) const;

private:
    std::vector<unsigned char> bytes;
};

class zPictStrEl {
public:
    unsigned short flags;  // 0x2: a writable position
    char pictChar;

    zPictStrEl(char c, unsigned short f) : flags(f), pictChar(c) {}
    virtual ~zPictStrEl() {}
    // Whether the character is taken; stored unless testOnly.
    virtual int addChar(char c, int testOnly, unsigned long flags) = 0;
    virtual char getChar(unsigned long) const { return 0; }
    virtual int delChar() { return 0; }
    int isWritable() const { return (flags & 0x2) != 0; }
};

class zPictStrMaskEl : public zPictStrEl {
public:
    char current = 0;
    char placeholder;

    explicit zPictStrMaskEl(char maskChar);
    int addChar(char c, int testOnly, unsigned long flags) override;
    char getChar(unsigned long flags) const override;
    int delChar() override {
        current = 0;
        return 1;
    }
};

class zPictStrSetEl : public zPictStrEl {
public:
    zBitVector set;
    unsigned short inverted;
    char current = 0;
    char placeholder = '_';

    // Takes a copy of the set of the 256 codes allowed (or, inverted, refused).
    zPictStrSetEl(const zBitVector& allowed, unsigned short inverted);
    int addChar(char c, int testOnly, unsigned long flags) override;
    char getChar(unsigned long flags) const override;
    int delChar() override {
        current = 0;
        return 1;
    }
};

class zPictStrLiteral : public zPictStrEl {
public:
    explicit zPictStrLiteral(char c) : zPictStrEl(c, 0) {}
    int addChar(char c, int, unsigned long) override { return c == pictChar; }
    char getChar(unsigned long flags) const override { return (flags & zPictRawText) ? 0 : pictChar; }
};
