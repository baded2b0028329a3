#include "zIntlContext.h"

#include "QvWindows.h"

namespace {

const size_t kSymbolMax = 9;

std::string profile(const char* key, const char* def) {
    char buf[64] = "";
    GetProfileStringA("intl", key, def, buf, sizeof buf);
    return buf;
}

std::string cut(const char* s) { return std::string(s ? s : "").substr(0, kSymbolMax); }

}  // namespace

zIntlContext::zIntlContext() {
    std::string dec = profile("sDecimal", ".");
    decimalPt = monDecimalPt = dec.empty() ? '.' : dec[0];
    std::string sep = profile("sThousand", ",");
    thousandSep = monThousandSep = sep.empty() ? ',' : sep[0];
    currSymbol = intlCurrSymbol = cut(profile("sCurrency", "$").c_str());
    std::string digits = profile("iCurrDigits", "2");
    fracDigits = intlFracDigits = digits.empty() ? '2' : digits[0];
    std::string cur = profile("iCurrency", "0");
    char c = cur.empty() ? '0' : cur[0];
    posCSPrecedes = (c == '0' || c == '2') ? '1' : '0';
    posCSSepSpace = (c == '2' || c == '3') ? '1' : '0';
    posSignPos = '1';
    applyNegCurr(profile("iNegCurr", "0").c_str());
}

void zIntlContext::applyNegCurr(const char* v) {
    char c = v && v[0] ? v[0] : '0';
    if (c == '1' && v[1] == '0') {
        negSignPos = '2', negCSPrecedes = '1', negCSSepSpace = '0';
        return;
    }
    switch (c) {
    case '0':
    case '4': negSignPos = '0', negCSPrecedes = c == '0' ? '1' : '0', negCSSepSpace = '0'; break;
    case '1':
    case '5':
    case '8':
    case '9':
        negSignPos = '1';
        negCSPrecedes = (c == '1' || c == '9') ? '1' : '0';
        negCSSepSpace = (c == '8' || c == '9') ? '1' : '0';
        break;
    case '2': negSignPos = '4', negCSPrecedes = '1', negCSSepSpace = '0'; break;
    case '3':
    case '7': negSignPos = '2', negCSPrecedes = c == '3' ? '1' : '0', negCSSepSpace = '0'; break;
    case '6': negSignPos = '3', negCSPrecedes = '0', negCSSepSpace = '0'; break;
    default: break;
    }
}

zIntlContext* zIntlContext::shared() {
    static zIntlContext* context = new zIntlContext;
    return context;
}

void zIntlContext::setCurrSymbol(const char* s) { currSymbol = intlCurrSymbol = cut(s); }
void zIntlContext::setNegSymbol(const char* s) { negSign = cut(s); }
void zIntlContext::setPosSymbol(const char* s) { posSign = cut(s); }
