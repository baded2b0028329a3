#pragma once
// The formatter for numbers, built from a numeric picture such as "#####" or
// "-#####": it keeps a formatted edit showing a right-aligned number with the
// locale's decimal point, thousands separators, sign and currency symbol.
//
// Picture: options first, up to the first '#', '[' or '0': ' ' skipped; 'F'
// floating thousands separators; '$' currency (allows minus and plus); '+'
// minus and plus; '-' minus; 'L'c, 'T'c, 'LT'c or 'TL'c fill characters (not
// '1'-'9'); 'R1', 'R2', 'R3' entry modes 1, 2 and 0. Then one element per item:
// '#' a digit, '0' a digit filled with '0', ',' a separator, '.' the decimal
// point, [!d] any digit but d, [a-b] a digit from a to b. An error stops the
// parse; the elements before it are kept.
#include <string>
#include <vector>

#include "zFormattedEdit.h"

class zIntlContext;

// Formatter flags the numeric formatter reads.
const unsigned long zNumEmptyOk = 0x100;      // an empty value is acceptable
const unsigned long zNumComplete = 0x80000;   // every digit position must be filled
const unsigned long zNumFillHash = 0x200000;  // '#' fills, no floating separators

enum zNumPictStrType { zNumDigitRange = 0, zNumDecimal = 1, zNumSeparator = 2, zNumDigitExcept = 3 };

struct zNumPictStrEl {
    zNumPictStrType type;
    char low, high;  // digit range
    char except;     // digit-except
    char fill;
    // Whether c may stand at this element (dec and sep: the locale's characters).
    int isValid(char c, char dec, char sep) const;
};

class zNumFormatter : public zFormatter {
public:
    static const int kMaxElements = 256;

    zIntlContext* context;
    std::vector<zNumPictStrEl> elements;
    int entryMode = 3;
    char leadFill = ' ', trailFill = ' ';
    int leadFillOn = 0, trailFillOn = 0;
    int floating = 0, currency = 0, minusAllowed = 0, plusShown = 0;
    int decimalPos = 0;  // the number of elements when there is none
    int intDigits = 0, fracDigits = 0, hasDecimal = 0;
    char dec = '.', sep = ',';
    int negative = 0, digitTyped = 0;
    int parseError = 0;  // the picture position of the first error, or -1

    zNumFormatter(unsigned long flags, const char* picture, zIntlContext* context = nullptr);

    int addChars(ZKCString& text, const char* chars, int count, zRange& sel) override;
    int checkChars(ZKCString& text, zRange& sel) override;
    int getChars(ZKCString& text, unsigned long flags) override;
    int firstWritablePosition(const char* text) override;

    // The text shown for an empty field.
    std::string initialText();

private:
    void parse(const char* picture);
    // The derived counts, from the elements parsed.
    void count();
    // The digits (and decimal point) of a shown text; pos moves along.
    std::string strip(const std::string& shown, int& pos, int* negativeOut) const;
    // The text shown for raw digits; pos moves along.
    std::string render(const std::string& raw, int& pos, int neg) const;
    std::string decorate(const std::string& number, int& pos, int neg) const;
    void apply(std::string& raw, int& pos, int& selEnd, char c, int count);
    void insertDigit(std::string& raw, int& pos, char c);
    std::vector<const zNumPictStrEl*> digitElements(bool fraction) const;
};
