#include "CacheListPage.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "HtmlDoc.h"
#include "HttpCache.h"
#include "HttpObject.h"
#include "HttpSite.h"
#include "ServerIds.h"

namespace {

// Administration commands; "%s" is the password. The host is the gateway's fixed name.
const char kRemoveSite[] = "Cache-Remove-Site=";
const char kSiteContents[] = "Gateway-Cache=*-";
const char kSiteDeleteList[] = "Cache-Remove-List=*-";
const char kRemoveItem[] = "Cache-Remove-Item=";
const char kCachedImage[] = "Quorvane Cached Image";

std::string nameOf(DATAOBJECT& o) {
    char text[256];
    return o.GetName(text, sizeof text);
}

std::string timeText(unsigned long seconds) {
    char out[64];
    return TIMESTAMP(seconds, 0).String(out, TF_MIME, TRUE);
}

}  // namespace

CACHELISTPAGE::CACHELISTPAGE(HTMLDOC& d, HTTPCACHE& c, const char* type, const char* pswd, BBOOL del,
                             const char* s, const char* ext)
    : doc(d), cache(c), typeName(type ? type : ""), password(pswd ? pswd : ""), deleteMode(del), site(s),
      extension(ext) {}

void CACHELISTPAGE::linkStart(char* out, size_t size, const char* command) {
    std::snprintf(out, size, "http://Quorvane/Gateway-Administration?pswd=%s&%s", password, command);
}

BBOOL CACHELISTPAGE::buildCacheDocument() {
    char title[256];
    bool allSites = !site || site[0] == '*';
    int id = allSites ? (deleteMode ? IDS_CACHE_REMOVE_ITEMS : IDS_CACHE_CONTENTS)
                      : (deleteMode ? IDS_CACHE_SITE_REMOVE : IDS_CACHE_SITE_CONTENTS);
    // Cut to the title's room: a long site name must not overrun it.
    std::snprintf(title, sizeof title, ServerText(id), allSites ? typeName : HtmlText(site).c_str());
    MSEMHOLD hold(cache.Lock());
    return doc.TwoPasses([&] {
        return doc.buildDocHeaders(title, nullptr, nullptr, nullptr) && buildCacheBody() && doc.buildDocEnd();
    });
}

BBOOL CACHELISTPAGE::buildCacheBody() {
    BBOOL siteList = site && site[0] == '*';
    const char* only = siteList ? nullptr : site;
    if (deleteMode && !siteList)
        doc.Append("<H3>Select an object from the list below to delete it from the cache.</H3>");
    else if (!only)
        doc.Append("<H3>Select a site from the list below to display its contents.</H3>");
    else
        doc.Append("<H3>Select an object from the list below to display it in your browser.</H3>");
    doc.Append("\r\n");
    long grandTotal = 0;
    for (DATAOBJECT* row : StoreObjects(cache.sites)) {
        HTTPSITE* s = dynamic_cast<HTTPSITE*>(row);
        if (!s) continue;
        std::string name = nameOf(*s);
        if (only && name != only) continue;
        bool hasCached = deleteMode;
        if (!hasCached)
            for (DATAOBJECT* o : StoreObjects(s->objects))
                if (o->valid) {
                    hasCached = true;
                    break;
                }
        siteHeading(name.c_str(), siteList);
        if (siteList || !hasCached) continue;
        tableHead(name.c_str(), only != nullptr);
        long total = buildCacheSiteList(s->objects);
        doc.Append("</table>");
        doc.Append("\r\n");
        if (total) {
            char line[512];
            std::snprintf(line, sizeof line, "<P>... Total Size = %ld", total);
            doc.Append(line);
            doc.Append("\r\n");
        }
        grandTotal += total;
    }
    if (!siteList) {
        char line[512];
        doc.Append("<HR width=130%>");
        doc.Append("\r\n");
        std::snprintf(line, sizeof line, "<P>... Total Memory Used for Cache = %ld", grandTotal);
        doc.Append(line);
        doc.Append("\r\n");
    }
    return TRUE;
}

void CACHELISTPAGE::siteHeading(const char* name, BBOOL siteList) {
    std::string text = HtmlText(name);
    doc.Append("<H2>");
    if (!siteList && !deleteMode) {
        doc.Append(("<P>Web Site " + text + " ...").c_str());
    } else {
        char start[512];
        linkStart(start, sizeof start, !siteList ? kRemoveSite : deleteMode ? kSiteDeleteList : kSiteContents);
        doc.Append("<P>Web Site ");
        doc.Append(("<A HREF=\"" + HtmlText((start + std::string(name)).c_str()) + "\">" + text + "</A>").c_str());
        doc.Append(" ...");
    }
    doc.Append("</H2>");
    doc.Append("\r\n");
}

void CACHELISTPAGE::tableHead(const char* name, BBOOL namedSite) {
    doc.Append("<HR width=130%>");
    doc.Append("\r\n");
    doc.Append("<table width=134% cols=4 border=0>");
    doc.Append("<tr><td width=45%>NAME</td><td width=15%>SIZE</td><td width=37%>CREATED/UPDATED</td>"
               "<td width=37%>EXPIRES</td></tr>");
    doc.Append("\r\n");
    if (deleteMode && namedSite) {
        char start[512];
        linkStart(start, sizeof start, kRemoveSite);
        doc.Append(("<tr><td width=45%><A HREF=\"" + HtmlText((start + std::string(name)).c_str()) +
                    "\">* (delete entire site)</A></td></tr>")
                       .c_str());
        doc.Append("\r\n");
    }
}

BBOOL CACHELISTPAGE::listed(HTTPOBJECT& object) {
    if (!object.valid) return FALSE;
    if (!extension) return TRUE;
    std::string name = nameOf(object);
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return extension[0] == 0;
    return name.compare(dot + 1, std::string::npos, extension) == 0;
}

long CACHELISTPAGE::buildCacheSiteList(DATASTORE& objects) {
    char store[256] = {0};
    int got = objects.storeName.GetData(BUFFER(store, sizeof store - 1), FALSE);
    store[got > 0 && got < (int)sizeof store ? got : 0] = 0;
    long total = 0;
    for (DATAOBJECT* row : StoreObjects(objects)) {
        HTTPOBJECT* o = dynamic_cast<HTTPOBJECT*>(row);
        if (!o || !listed(*o)) continue;
        objectRow(*o, store);
        total += o->listedSize;
    }
    return total;
}

void CACHELISTPAGE::objectRow(HTTPOBJECT& o, const char* siteText) {
    std::string name = nameOf(o);
    std::string target;
    if (deleteMode) {
        char start[512];
        linkStart(start, sizeof start, kRemoveItem);
        target = std::string(start) + siteText + (name.compare(0, 1, "/") == 0 ? "" : "/") + name;
    } else {
        bool ftp = name.compare(0, 4, "ftp:") == 0;
        std::string rest = ftp ? name.substr(4) : name;
        target = std::string(ftp ? "ftp://" : "http://") + siteText + (rest.compare(0, 1, "/") == 0 ? "" : "/") + rest;
    }
    doc.Append("<tr>");
    doc.Append("<td width=45%>");
    doc.Append("<A HREF=\"");
    doc.Append(HtmlText(target.c_str()).c_str());
    if (!deleteMode) {
        doc.Append("\" TARGET=\"");
        doc.Append(kCachedImage);
    }
    doc.Append("\">");
    doc.Append(HtmlText(name.c_str()).c_str());
    doc.Append("</A></td>");
    if (doc.counting) o.listedSize = o.DataLength();
    char number[32];
    std::snprintf(number, sizeof number, "%ld", o.listedSize);
    doc.Append("<td width=15%>");
    doc.Append(number);
    if (!o.memoryCache && !o.diskCache) doc.Append(" (Receiving)");
    doc.Append("</td>");
    doc.Append("<td width=37%>");
    doc.Append(timeText(o.listedTime.seconds ? o.listedTime.seconds : o.addedTime.seconds).c_str());
    doc.Append("</td>");
    doc.Append("<td width=37%>");
    doc.Append(o.expiryTime.seconds ? timeText(o.expiryTime.seconds).c_str() : "-");
    doc.Append("</td></tr>");
    doc.Append("\r\n");
}

HTMLDOC* GenerateCacheList(HTTPCACHE& cache, const char* typeName, const char* password, HTTPOBJECT& object,
                           BBOOL deleteMode, const char* site, const char* extension) {
    HTMLDOC* doc = new HTMLDOC(&object);
    doc->prepare();
    CACHELISTPAGE page(*doc, cache, typeName, password, deleteMode, site, extension);
    if (page.buildCacheDocument()) {
        HTMLDOC::PadTerminator(object);  // sent whole as a body: no NUL at its end
        return doc;
    }
    object.DetachDocument();
    doc->object = nullptr;
    doc->freeobj();
    return nullptr;
}
