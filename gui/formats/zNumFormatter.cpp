#include "zNumFormatter.h"

#include <algorithm>
#include <cstring>

#include "zIntlContext.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int zNumPictStrEl::isValid(char c, char d, char s) const {
    switch (type) {
    case zNumDigitRange: return c >= low && c <= high;
    case zNumDecimal: return c == d;
    case zNumSeparator: return c == s;
    case zNumDigitExcept: return isDigit(c) && c != except;
    }
    return 0;
}

zNumFormatter::zNumFormatter(unsigned long f, const char* picture, zIntlContext* ctx)
    : zFormatter(f), context(ctx ? ctx : zIntlContext::shared()) {
    parse(picture ? picture : "");
    count();
    dec = currency ? context->monDecimalPt : context->decimalPt;
    sep = currency ? context->monThousandSep : context->thousandSep;
}

void zNumFormatter::parse(const char* p) {
    parseError = -1;
    const char* start = p;
    auto fail = [&](const char* at) { parseError = (int)(at - start); };
    // Options.
    while (*p && *p != '#' && *p != '[' && *p != '0') {
        char c = *p++;
        if (c == ' ') continue;
        if (c == 'F') floating = 1;
        else if (c == '$') currency = minusAllowed = plusShown = 1;
        else if (c == '+') minusAllowed = plusShown = 1;
        else if (c == '-') minusAllowed = 1;
        else if (c == 'L' || c == 'T') {
            bool both = (*p == 'T' && c == 'L') || (*p == 'L' && c == 'T');
            if (both) ++p;
            char fill = *p;
            if (!fill || (fill >= '1' && fill <= '9')) return fail(p);
            ++p;
            if (c == 'L' || both) leadFill = fill, leadFillOn = 1;
            if (c == 'T' || both) trailFill = fill, trailFillOn = 1;
        } else if (c == 'R' && (*p == '1' || *p == '2' || *p == '3')) {
            entryMode = *p == '3' ? 0 : *p - '0';
            ++p;
        } else {
            return fail(p - 1);
        }
    }
    if (flags & zNumFillHash) {
        leadFill = trailFill = '#';
        leadFillOn = trailFillOn = 1;
        floating = 0;
    }
    // Elements; the fill of '#' depends on the side of the decimal point.
    bool afterDec = false;
    auto hashFill = [&]() { return afterDec ? (trailFillOn ? trailFill : ' ') : (leadFillOn ? leadFill : ' '); };
    while (*p && (int)elements.size() < kMaxElements) {
        zNumPictStrEl e{zNumDigitRange, '0', '9', 0, ' '};
        char c = *p;
        if (c == '#') {
            e.fill = hashFill();
            ++p;
        } else if (c == '0') {
            e.fill = '0';
            ++p;
        } else if (c == ',') {
            e.type = zNumSeparator;
            ++p;
        } else if (c == '.' && !afterDec) {
            e.type = zNumDecimal;
            afterDec = true;
            ++p;
        } else if (c == '[' && p[1] == '!' && isDigit(p[2]) && p[3] == ']') {
            e.type = zNumDigitExcept;
            e.except = p[2];
            e.fill = hashFill();
            p += 4;
        } else if (c == '[' && isDigit(p[1]) && p[2] == '-' && isDigit(p[3]) && p[4] == ']' && p[3] >= p[1]) {
            e.low = p[1];
            e.high = p[3];
            e.fill = hashFill();
            p += 5;
        } else {
            return fail(p);
        }
        elements.push_back(e);
    }
}

void zNumFormatter::count() {
    decimalPos = (int)elements.size();
    for (size_t i = 0; i < elements.size(); ++i)
        if (elements[i].type == zNumDecimal) {
            decimalPos = (int)i;
            hasDecimal = 1;
            break;
        }
    for (size_t i = 0; i < elements.size(); ++i) {
        if (elements[i].type != zNumDigitRange && elements[i].type != zNumDigitExcept) continue;
        if ((int)i < decimalPos) ++intDigits;
        else ++fracDigits;
    }
}

std::vector<const zNumPictStrEl*> zNumFormatter::digitElements(bool fraction) const {
    std::vector<const zNumPictStrEl*> out;
    for (size_t i = 0; i < elements.size(); ++i) {
        bool frac = (int)i > decimalPos;
        const zNumPictStrEl& e = elements[i];
        if (frac == fraction && (e.type == zNumDigitRange || e.type == zNumDigitExcept)) out.push_back(&e);
    }
    return out;
}

std::string zNumFormatter::strip(const std::string& shown, int& pos, int* neg) const {
    std::string raw;
    int rp = 0;
    bool sawDec = false;
    if (neg) {
        const std::string& ns = context->negSign;
        *neg = shown.find('(') != std::string::npos || (!ns.empty() && shown.find(ns) != std::string::npos);
    }
    // Currency symbols may hold digits or the decimal point: taken out first.
    std::string s = shown;
    if (currency && !context->currSymbol.empty()) {
        size_t at = s.find(context->currSymbol);
        if (at != std::string::npos) {
            if ((int)at < pos) pos -= std::min((int)context->currSymbol.size(), pos - (int)at);
            s.erase(at, context->currSymbol.size());
        }
    }
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        bool keep = isDigit(c) || (hasDecimal && c == dec && !sawDec);
        if (!keep) continue;
        if (c == dec) sawDec = true;
        raw += c;
        if ((int)i < pos) ++rp;
    }
    // Leading zeros (and zero fills) go.
    size_t z = 0;
    while (z < raw.size() && raw[z] == '0') ++z;
    raw.erase(0, z);
    rp = std::max(0, rp - (int)z);
    pos = rp;
    return raw;
}

std::string zNumFormatter::decorate(const std::string& number, int& pos, int neg) const {
    std::string pre, post;
    bool minus = neg && minusAllowed;
    bool plus = !neg && plusShown && !context->posSign.empty();
    const std::string sign = minus ? context->negSign : plus ? context->posSign : std::string();
    char where = minus ? context->negSignPos : context->posSignPos;
    if (!currency) {
        if (minus) pre = "-";
        else if (plus) pre = context->posSign;
    } else {
        bool precedes = (neg ? context->negCSPrecedes : context->posCSPrecedes) == '1';
        bool space = (neg ? context->negCSSepSpace : context->posCSSepSpace) == '1';
        std::string cs = context->currSymbol;
        if ((minus || plus) && where == '3') cs = sign + cs;
        if ((minus || plus) && where == '4') cs = cs + sign;
        if (precedes) pre = cs + (space ? " " : "");
        else post = (space ? " " : "") + cs;
        if (minus && where == '0') pre = "(" + pre, post += ")";
        else if ((minus || plus) && where == '1') pre = sign + pre;
        else if ((minus || plus) && where == '2') post += sign;
    }
    pos += (int)pre.size();
    return pre + number + post;
}

std::string zNumFormatter::render(const std::string& raw, int& pos, int neg) const {
    size_t d = raw.find(dec);
    std::string ip = d == std::string::npos ? raw : raw.substr(0, d);
    std::string fp = d == std::string::npos ? std::string() : raw.substr(d + 1);
    std::vector<const zNumPictStrEl*> ie = digitElements(false), fe = digitElements(true);
    // Integer part, right to left against the picture's integer elements.
    std::string out;
    std::vector<int> at(ip.size() + 1, 0);  // shown position of each raw integer character
    int digitsLeft = (int)ip.size();
    int placed = 0;
    for (int i = decimalPos - 1; i >= 0; --i) {
        const zNumPictStrEl& e = elements[(size_t)i];
        if (e.type == zNumSeparator) {
            if (floating && digitsLeft > 0 && placed > 0) out.insert(out.begin(), sep);
            continue;
        }
        if (digitsLeft > 0) {
            out.insert(out.begin(), ip[(size_t)--digitsLeft]);
            ++placed;
        } else if (e.fill != ' ') {
            out.insert(out.begin(), e.fill);
        }
    }
    while (digitsLeft > 0) out.insert(out.begin(), ip[(size_t)--digitsLeft]);
    bool zero = false;
    if (out.empty() || ip.empty()) {
        if (out.find_first_not_of(' ') == std::string::npos) out.clear();
        if (out.empty()) {
            out = "0";
            zero = true;
        }
    }
    // Raw integer characters sit at the end of out, separators between them.
    {
        int k = (int)ip.size();
        for (int i = (int)out.size(); i >= 0 && k >= 0; --i) {
            if (i < (int)out.size() && out[(size_t)i] == sep) continue;
            at[(size_t)k] = i;
            if (k == 0) break;
            --k;
        }
    }
    std::string number = out;
    int shownPos;
    if (pos <= (int)ip.size()) shownPos = zero ? (int)number.size() : at[(size_t)pos];
    else shownPos = (int)number.size() + 1 + (pos - (int)ip.size() - 1);
    if (hasDecimal && fracDigits > 0) {
        std::string f = fp.substr(0, (size_t)fracDigits);
        for (size_t i = f.size(); i < fe.size(); ++i)
            if (fe[i]->fill != ' ') f += fe[i]->fill;
        if (f.empty()) f = "0";
        number += dec;
        number += f;
    }
    int p = shownPos;
    std::string shown = decorate(number, p, neg);
    pos = std::max(0, p);
    return shown;
}

void zNumFormatter::insertDigit(std::string& raw, int& pos, char c) {
    size_t d = raw.find(dec);
    size_t intLen = d == std::string::npos ? raw.size() : d;
    if (d != std::string::npos && pos > (int)d) {
        raw.insert((size_t)pos, 1, c);
        ++pos;
        size_t keep = d + 1 + (size_t)fracDigits;
        if (raw.size() > keep) raw.erase(keep);
        pos = std::min(pos, (int)raw.size());
        return;
    }
    if (intLen == 0) {
        if (c == '0') return;
        raw.insert(0, 1, c);
        pos = 1;
        return;
    }
    if (c == '0' && pos == 0) return;
    raw.insert((size_t)pos, 1, c);
    ++pos;
    if ((int)intLen + 1 > intDigits) {
        // Too many integer digits: the last one goes.
        size_t last = intLen;  // index of the last integer digit after the insertion
        raw.erase(last, 1);
        if (pos > (int)last) pos = (int)last;
    }
}

void zNumFormatter::apply(std::string& raw, int& pos, int& selEnd, char c, int count) {
    bool isSel = selEnd != pos;
    if (isSel && (c == '-' || c == '+' || c == dec || isDigit(c) || c == '\b')) {
        int a = std::min(pos, selEnd), b = std::max(pos, selEnd);
        raw.erase((size_t)a, (size_t)(b - a));
        pos = selEnd = a;
        if (c == '\b') return;
    }
    selEnd = pos;
    if (c == '-') {
        if (minusAllowed) negative = !negative;
    } else if (c == '+') {
        negative = 0;
    } else if (c == dec) {
        if (!hasDecimal) return;
        size_t d = raw.find(dec);
        if (d == std::string::npos) {
            raw += dec;
            d = raw.size() - 1;
        }
        pos = (int)d + 1;
    } else if (isDigit(c)) {
        insertDigit(raw, pos, c);
        digitTyped = 1;
    } else if (c == '\b') {
        if (count == 2) {
            if (pos < (int)raw.size() && raw[(size_t)pos] == dec) ++pos;
            if (pos < (int)raw.size()) raw.erase((size_t)pos, 1);
        } else if (pos > 0) {
            if (raw[(size_t)pos - 1] == dec) {
                --pos;
            } else {
                raw.erase((size_t)pos - 1, 1);
                --pos;
            }
        }
    }
    size_t z = 0;
    while (z < raw.size() && raw[z] == '0') ++z;
    raw.erase(0, z);
    pos = std::max(0, pos - (int)z);
    selEnd = pos;
}

std::string zNumFormatter::initialText() {
    int pos = 0;
    return render(std::string(), pos, 0);
}

int zNumFormatter::addChars(ZKCString& text, const char* chars, int count, zRange& sel) {
    std::string shown = text.data();
    if (shown.empty()) {
        shown = initialText();
        sel = zRange(0, 0);
    }
    int neg = 0;
    int a = sel.lo(), b = sel.hi();
    int endPos = b;
    std::string raw = strip(shown, a, &neg);
    std::string rawEnd = strip(shown, endPos, nullptr);
    (void)rawEnd;
    negative = neg;
    if (!chars) chars = "";
    int n = count > 0 && count != 2 ? (int)strnlen(chars, (size_t)count) : (int)strlen(chars);
    if (count == 2 && chars[0] == '\b') n = 1;
    bool paste = n >= 2;
    // Entry modes: the decimal point only moves the caret.
    if (entryMode != 3 && n == 1 && chars[0] == dec && a == endPos) {
        size_t d = raw.find(dec);
        if (d != std::string::npos) a = endPos = (int)d + 1;
        text = render(raw, a, negative).c_str();
        sel = zRange(a, a);
        return zFmtRewritten;
    }
    if (entryMode == 0 && digitTyped) endPos = a;
    // Once a digit is typed, mode 1 keeps the integer part and mode 2 the
    // fraction: keys there change nothing, selections lose the locked part.
    if ((entryMode == 1 || entryMode == 2) && digitTyped) {
        size_t found = raw.find(dec);
        int d = found == std::string::npos ? (entryMode == 1 ? (int)raw.size() : -1) : (int)found;
        bool del = n == 1 && chars[0] == '\b' && count == 2, back = n == 1 && chars[0] == '\b' && !del;
        if (entryMode == 1) {
            if (a == endPos ? a <= d || (back && a == d + 1) : (a = std::max(a, d + 1)) >= endPos) {
                text = shown.c_str();
                return zFmtRewritten;
            }
        } else if (d >= 0) {
            if (a == endPos ? a > d || (del && a == d) : (endPos = std::min(endPos, d)) <= a) {
                text = shown.c_str();
                return zFmtRewritten;
            }
        }
    }
    int i = 0;
    if (paste && (chars[0] == '-' || chars[0] == '+')) {
        negative = minusAllowed && chars[0] == '-';
        i = 1;
    }
    for (; i < n; ++i) apply(raw, a, endPos, chars[i], count);
    if (negative && !minusAllowed) negative = 0;
    std::string out = render(raw, a, negative);
    text = out.c_str();
    sel = zRange(a, a);
    return zFmtRewritten;
}

int zNumFormatter::checkChars(ZKCString& text, zRange& sel) {
    std::string shown = text.data();
    int pos = 0;
    int neg = 0;
    std::string raw = strip(shown, pos, &neg);
    size_t d = raw.find(dec);
    std::string ip = d == std::string::npos ? raw : raw.substr(0, d);
    std::string fp = d == std::string::npos ? std::string() : raw.substr(d + 1);
    std::vector<const zNumPictStrEl*> ie = digitElements(false), fe = digitElements(true);
    int first = firstWritablePosition(shown.c_str());
    // Each digit against its element: right to left, then left to right.
    for (size_t k = 0; k < ip.size(); ++k) {
        size_t fromRight = ip.size() - 1 - k;
        const zNumPictStrEl* e = fromRight < ie.size() ? ie[ie.size() - 1 - fromRight] : nullptr;
        if (!e || !e->isValid(ip[k], dec, sep)) {
            sel = zRange(first + (int)k, first + (int)k + 1);
            return 0;
        }
    }
    for (size_t k = 0; k < fp.size() && k < fe.size(); ++k)
        if (!fe[k]->isValid(fp[k], dec, sep)) {
            sel = zRange(first, first);
            return 0;
        }
    int digits = (int)(ip.size() + fp.size());
    bool complete = (int)ip.size() == intDigits && (!hasDecimal || (int)fp.size() == fracDigits);
    bool emptyOk = (flags & zNumEmptyOk) != 0;
    bool needAll = (flags & zNumComplete) != 0;
    bool ok;
    if (digits == 0 && shown.find('0') == std::string::npos) ok = emptyOk;
    else ok = !needAll || complete;
    if (!ok) sel = zRange(first, first);
    return ok ? 1 : 0;
}

int zNumFormatter::getChars(ZKCString& text, unsigned long) {
    int pos = 0;
    int neg = 0;
    std::string raw = strip(text.data(), pos, &neg);
    for (char& c : raw)
        if (c == dec) c = '.';
    if (raw.empty()) raw = hasDecimal ? "0.0" : "0";
    if (raw[0] == '.') raw.insert(0, 1, '0');
    if (raw.back() == '.') raw += '0';
    if (neg && minusAllowed) raw.insert(0, 1, '-');
    text = raw.c_str();
    return 1;
}

int zNumFormatter::firstWritablePosition(const char* text) {
    if (!text) return 0;
    for (const char* p = text; *p; ++p)
        if (isDigit(*p) || (leadFillOn && *p == leadFill) || (trailFillOn && *p == trailFill)) return (int)(p - text);
    return (int)strlen(text);
}
