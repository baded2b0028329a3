"""The gateway's own site end to end: quorhub under Wine, curl as the browser,
the origin of http_peers: the status page, the schedule form and its
request reaching the origin, the request lists and removal, the files."""
import os
import shutil
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import test_http  # noqa: E402  puts tests/quorhub on the path
import e2e  # noqa: E402
from test_http import P, PORTS, PROXY, curl, head_and_body, start_gateway, wait_for  # noqa: E402
from http_peers import Origin  # noqa: E402

KEY = b"Remember: every packet crossing this hub is counted and logged."


def stored_password(text):
    """The profile's form of an administrator password: scrambled, then escaped."""
    out = ""
    for i, c in enumerate(text.encode()):
        out += "\\x%02x" % (c ^ KEY[i] if c != KEY[i] else c)
    return '"%s"' % out


def G(*args):
    return head_and_body(curl("-D-", "-x", PROXY, *args, binary=True))


class GatewaySiteTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.origin = Origin(port=PORTS[8000])
        extra = "Maximum Users=100\nAdministrator Password=%s\n" % stored_password("secret")
        cls.gateway = start_gateway("http_site", extra=extra)

    @classmethod
    def tearDownClass(cls):
        cls.gateway.close()
        cls.origin.close()

    def admin(self, command):
        return G("http://127.0.0.1:%d/Gateway-Administration?pswd=secret&%s" % (PORTS[8080], command))

    def test_status_page(self):
        for url in ("http://127.0.0.1:8080/Gateway-User?Conn-Status",
                    "http://127.0.0.1:8080/Gateway-Administration?pswd=secret&Gateway-Status"):
            lines, body = G(P(url))
            self.assertEqual("HTTP/1.0 200 OK", lines[0], url)
            self.assertIn("Expires: Mon, 01 Jan 1990 00:00:00 GMT", lines)
            text = body.decode("latin-1")
            self.assertIn("<TITLE>Quorvane Steadfell Status</TITLE>", text)
            self.assertIn('<BODY><META HTTP-EQUIV="refresh" content="60;URL=http://127.0.0.1/Gateway-User?'
                          'Conn-Status=">\r\n<H2>Client Connections</H2><P>Current Active Users : 1<BR>\r\n', text)
            self.assertIn("Maximum Active Users : 1 of 100 Allowed<BR>\r\n", text)
            self.assertIn("<H2>Internet Dialup Lines</H2><P>Line 1 : not defined<BR>\r\n", text)

    def test_admin_login(self):
        lines, body = G("http://Quorvane/Gateway-Administration?pswd=secret")
        self.assertEqual("HTTP/1.0 200 OK", lines[0])
        self.assertIn("Content-Location: http://Quorvane/Gateway-Administration?pswd=secret", lines)
        with open(os.path.join(test_http.PAGES, "qvradmin.htm"), "rb") as f:
            self.assertEqual(f.read(), body)
        for url in ("http://Quorvane/Gateway-Administration?pswd=bad",
                    "http://Quorvane/Gateway-Administration"):
            lines, _ = G(url)
            self.assertEqual("HTTP/1.0 418 Invalid Password", lines[0], url)

    def test_form_pages(self):
        with open(os.path.join(test_http.PAGES, "schedule.htm"), "rb") as f:
            self.assertEqual(f.read(), G("http://Quorvane/Gateway-User-Request")[1])
        with open(os.path.join(test_http.PAGES, "qvrsched.htm"), "rb") as f:
            self.assertEqual(f.read(), G("http://Quorvane/Gateway-Admin-Request")[1])
        lines, body = G("-d", "start=now&web_url=+", "http://Quorvane/Gateway-User-Request")
        self.assertEqual("HTTP/1.0 423 Invalid Submitted Request", lines[0])
        self.assertIn(b"Invalid URL Requested ", body)

    def test_scheduled_now_reaches_the_origin(self):
        before = len(self.origin.log)
        lines, body = G("-d", "start=now&web_url=http%%3A%%2F%%2F127.0.0.2%%3A%d%%2Fa.html" % PORTS[8000],
                        "http://Quorvane/Gateway-User-Request")
        self.assertEqual("HTTP/1.0 200 OK", lines[0])
        with open(os.path.join(test_http.PAGES, "locreqok.htm"), "rb") as f:
            self.assertEqual(f.read(), body)
        self.assertTrue(wait_for(lambda: any(r[0] == "GET /a.html HTTP/1.0" for r, _ in self.origin.log[before:])),
                        self.gateway.log()[-3000:])
        request = next(r for r, _ in self.origin.log[before:] if r[0] == "GET /a.html HTTP/1.0")
        self.assertIn("Accept: */*", request)
        self.assertTrue(any(h.startswith("Host: 127.0.0.2") for h in request), request)
        self.assertRegex(self.gateway.log(), P(r"HTTP request submitted from \S+ \(ID=[0-9a-f]+\):  AT IMMEDIATE ; "
                                               r"LINK-LEVEL: 0 ; http://127\.0\.0\.2:8000/a\.html"))

    def test_lists_and_removal(self):
        lines, _ = G("-d", P("start=at&at_time=11%3A00&AM_or_PM=PM&frequency=day&duration=forever&"
                             "web_url=http%3A%2F%2F127.0.0.2%3A8000%2Fb.html"), "http://Quorvane/Gateway-User-Request")
        self.assertEqual("HTTP/1.0 200 OK", lines[0])
        lines, body = self.admin("Gateway-Request-List")
        text = body.decode("latin-1")
        self.assertIn("<TITLE>Scheduled HTTP requests ...</TITLE>", text)
        self.assertIn("<td width=40%>http://127.0.0.2/b.html</td>", text)
        self.assertIn("<td width=20%>daily</td><td width=20%>forever</td>", text)
        _, body = self.admin("Request-Remove-List=*")
        number = body.decode("latin-1").split("Request-Remove-Item=")[1].split('"')[0]
        lines, _ = self.admin("Request-Remove-Item=" + number)
        self.assertEqual("HTTP/1.0 302 FOUND", lines[0])
        self.assertIn("Location: http://127.0.0.1/Gateway-Administration?pswd=secret&Request-Remove-List=*", lines)
        self.assertNotIn(b"b.html", self.admin("Gateway-Request-List")[1])
        lines, _ = self.admin("Request-Remove-Item=ffffff")
        self.assertEqual("HTTP/1.0 302 FOUND", lines[0])

    def test_files(self):
        for command in ("Gateway-Log", "Gateway-Profile", "Gateway-Trace"):
            lines, body = self.admin(command)
            self.assertEqual("HTTP/1.0 200 OK", lines[0], command)
            self.assertIn("Content-Type: text/plain", lines, command)
            self.assertIn("Expires: Mon, 01 Jan 1990 00:00:00 GMT", lines, command)
            self.assertTrue(any(line.startswith("Content-Location: ") and line.endswith(command) for line in lines),
                            lines)
        with open(os.path.join(self.gateway.dir, "QUORHUB.INI"), "rb") as f:
            self.assertEqual(f.read(), self.admin("Gateway-Profile")[1])
        self.assertEqual("HTTP/1.0 404 Not Found", self.admin("Gateway-Install-Log")[0][0])

    def test_icons(self):
        # The run's files are written as text; the icon goes there byte for byte.
        shutil.copy(os.path.join(test_http.PAGES, "arrow.gif"), self.gateway.dir)
        lines, body = G("http://Quorvane/arrow.gif")
        self.assertEqual("HTTP/1.0 200 OK", lines[0])
        self.assertIn("Content-Type: image/gif", lines)
        with open(os.path.join(test_http.PAGES, "arrow.gif"), "rb") as f:
            self.assertEqual(f.read(), body)


if __name__ == "__main__":
    e2e.main(test_http)
