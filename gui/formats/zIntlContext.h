#pragma once
// The locale's number and currency settings, read from the "intl" section of
// the Windows profile (WIN.INI).
#include <string>

class zIntlContext {
public:
    char decimalPt = '.', monDecimalPt = '.';
    char thousandSep = ',', monThousandSep = ',';
    std::string currSymbol = "$", intlCurrSymbol = "$";  // up to 9 characters
    std::string posSign, negSign = "-";                  // up to 9 characters
    char fracDigits = '2', intlFracDigits = '2';
    char posCSPrecedes = '1', posCSSepSpace = '0', posSignPos = '1';
    char negCSPrecedes = '1', negCSSepSpace = '0', negSignPos = '0';

    // Reads the profile.
    zIntlContext();
    // The one context of formatters built without one: read on first use and kept.
    static zIntlContext* shared();

    void setCurrSymbol(const char* s);
    void setNegSymbol(const char* s);
    void setPosSymbol(const char* s);
    void setDecimalPt(char c) { decimalPt = c; }
    void setMonDecimalPt(char c) { monDecimalPt = c; }
    void setThousandSep(char c) { thousandSep = c; }
    void setMonThousandSep(char c) { monThousandSep = c; }
    void setPosCSPrecedes(bool on) { posCSPrecedes = on ? '1' : '0'; }
    void setNegCSPrecedes(bool on) { negCSPrecedes = on ? '1' : '0'; }
    void setPosCSSepSpace(bool on) { posCSSepSpace = on ? '1' : '0'; }
    void setNegCSSepSpace(bool on) { negCSSepSpace = on ? '1' : '0'; }
    void setPosSignPos(char c) { posSignPos = c; }
    void setNegSignPos(char c) { negSignPos = c; }

    // The negative-value settings for an "iNegCurr" value.
    void applyNegCurr(const char* value);
};
