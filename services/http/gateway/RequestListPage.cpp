// The scheduled request list, plain or with a link that removes each request.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "GatewayPages.h"
#include "HtmlDoc.h"
#include "ServerIds.h"

namespace {
// The titles when the string table lacks them.
const struct {
    int id;
    const char* text;
} TITLE_DEFAULTS[] = {
    {IDS_REQUESTS_TITLE, "Scheduled %s requests ..."},
    {IDS_REQUESTS_REMOVE_TITLE, "Remove requests from the %s schedule ..."},
    {IDS_USER_REQUESTS_TITLE, "Scheduled requests for user %s ..."},
    {IDS_USER_REQUESTS_REMOVE_TITLE, "Remove scheduled requests for user %s ..."},
};

std::string Title(int id, const char* text) {
    const char* format = ServerText(id);
    for (const auto& d : TITLE_DEFAULTS)
        if (!*format && d.id == id) format = d.text;
    char title[260];
    std::snprintf(title, sizeof title, format, text ? text : "");
    return title;
}

// The rows the page shows: read once, so both passes agree on them.
std::vector<SCHEDULEDROW> Rows(const char* user) {
    std::vector<SCHEDULEDROW> all, shown;
    if (_pScheduledRequests) _pScheduledRequests(all);
    for (SCHEDULEDROW& r : all)
        if (!user || r.origin == user) shown.push_back(r);
    return shown;
}

}  // namespace

HTMLDOC* HTMLDOC::GenerateRequestList(HTTPOBJECT& object, BBOOL remove, const char* user, const char* password) {
    HTMLDOC* doc = new HTMLDOC(&object);
    doc->prepare();
    return doc->buildRequestDocument("HTTP", remove, user, password) ? doc : Abandon(object, doc);
}

BBOOL HTMLDOC::buildRequestDocument(const char* typeName, BBOOL remove, const char* user, const char* password) {
    bool all = !user || user[0] == '*';
    std::string title = all ? Title(remove ? IDS_REQUESTS_REMOVE_TITLE : IDS_REQUESTS_TITLE, typeName)
                            : Title(remove ? IDS_USER_REQUESTS_REMOVE_TITLE : IDS_USER_REQUESTS_TITLE, user);
    std::vector<SCHEDULEDROW> rows = Rows(user);
    return TwoPasses([&] {
        return buildDocHeaders(title.c_str(), nullptr, nullptr, nullptr) && buildRequestBody(remove, rows, password) &&
               buildDocEnd();
    });
}

BBOOL HTMLDOC::buildRequestBody(BBOOL remove, const std::vector<SCHEDULEDROW>& rows, const char* password) {
    Append(remove ? "<H3>Select a request from the list below to remove it.</H3>"
                  : "<H3>Select an object from the list below to display it in your browser.</H3>");
    Append("\r\n\r\n");
    Append("<table width=130% cols=5 border=0><tr><td width=30%>FROM</td><td width=40%>URL</td>"
           "<td width=20%>START</td><td width=20%>FREQUENCY</td><td width=20%>DURATION</td></tr>\r\n");
    for (const SCHEDULEDROW& r : rows) {
        Append("<tr><td width=30%>");
        AppendEscaped(r.origin.substr(0, 255).c_str());
        Append("</td><td width=40%>");
        if (remove) {
            char number[16];
            std::snprintf(number, sizeof number, "%lx", r.requestId);
            std::string link = "<A HREF=\"http://Quorvane/Gateway-Administration?pswd=" + HtmlText(password) +
                               "&Request-Remove-Item=" + number + "\">";
            Append(link.c_str());
        }
        Append(r.ftp ? "ftp://" : "http://");
        AppendEscaped(r.host.substr(0, 255).c_str());
        if (r.path.empty() || r.path[0] != '/') Append("/");
        AppendEscaped(r.path.substr(0, 255).c_str());
        if (remove) Append("</A>");
        bool cells = r.active || r.armed;
        Append("</td><td width=20%>");
        Append(r.active ? "Active" : r.armed ? r.start.substr(0, 255).c_str() : "Retrieving Links");
        Append("</td><td width=20%>");
        if (cells) Append(r.frequency.substr(0, 255).c_str());
        Append("</td><td width=20%>");
        if (cells) Append(r.duration.substr(0, 255).c_str());
        Append("</td></tr>\r\n");
    }
    Append("</table>\r\n");
    return TRUE;
}
