#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/match/LogFields.h"

namespace tallowby {
namespace {

using L = LogLayout;

// One line of a log and what its fields say: the layout, whether the
// referrer field is there, the referrer and the user agent ("" for none).
struct Row {
    std::string line;
    LogLayout layout;
    bool field;
    std::string referrer;
    std::string agent;
};

// Reads the rows as the lines of one file, in order, with one reader.
void ExpectFile(const std::vector<Row>& rows) {
    FieldReader reader;
    W3cFields w3c;
    for (const Row& row : rows) {
        const LineFields f = reader.read(row.line, w3c);
        EXPECT_EQ(LogLayoutName(f.layout), std::string(LogLayoutName(row.layout))) << row.line;
        EXPECT_EQ(f.referrerField, row.field) << row.line;
        EXPECT_EQ(f.referrer, row.referrer) << row.line;
        EXPECT_EQ(f.userAgent, row.agent) << row.line;
    }
}

const std::string kTime = "[10/Oct/2000:13:55:36 -0700]";

TEST(LogFields, ReadsCombinedAndItsVariants) {
    ExpectFile({
        // Apache's combined and common examples.
        {"127.0.0.1 - frank [10/Oct/2000:13:55:36 -0700] \"GET /apache_pb.gif HTTP/1.0\" 200 2326 "
         "\"http://www.example.com/start.html\" \"Mozilla/4.08 [en] (Win98; I ;Nav)\"",
         L::Combined, true, "http://www.example.com/start.html",
         "Mozilla/4.08 [en] (Win98; I ;Nav)"},
        {"127.0.0.1 - frank [10/Oct/2000:13:55:36 -0700] \"GET /apache_pb.gif HTTP/1.0\" 200 2326",
         L::Common, false, "", ""},
        // vhost_combined (host:port), a bare virtual host, the common one.
        {"www.example.com:443 192.0.2.7 - - " + kTime +
             " \"GET / HTTP/1.1\" 200 512 \"android-app://com.google.android.gm/\" \"Mozilla/5.0\"",
         L::VhostCombined, true, "android-app://com.google.android.gm/", "Mozilla/5.0"},
        {"example.org 192.0.2.7 - - " + kTime + " \"GET / HTTP/1.1\" 304 - \"-\" \"Mozilla/5.0\"",
         L::VhostCombined, true, "", "Mozilla/5.0"},
        {"example.org 192.0.2.7 - - " + kTime + " \"GET / HTTP/1.1\" 200 512", L::Common, false, "",
         ""},
        // nginx: the default combined, then with forwarded-for, times and upstream.
        {"203.0.113.9 - - [12/Mar/2024:06:25:24 +0000] \"GET /index.html HTTP/1.1\" 200 612 \"-\" "
         "\"curl/8.4.0\"",
         L::Combined, true, "", "curl/8.4.0"},
        {"192.0.2.1 - alice " + kTime +
             " \"GET / HTTP/1.1\" 200 396 \"https://www.example.net/\" \"Mozilla/5.0 (X11)\" "
             "\"203.0.113.9, 198.51.100.2\" 0.123 0.120 \"192.0.2.50:8080\"",
         L::Combined, true, "https://www.example.net/", "Mozilla/5.0 (X11)"},
        // Quotes escaped inside fields; escapes kept as written; a
        // backslash escaping itself right before the closing quote.
        {"192.0.2.1 - - " + kTime +
             R"( "GET /a\"b c HTTP/1.1" 200 5 "http://x.example/?q=\"hi\"" "Agent \"A\"")",
         L::Combined, true, R"(http://x.example/?q=\"hi\")", R"(Agent \"A\")"},
        {"192.0.2.1 - - " + kTime + R"( "GET / HTTP/1.1" 200 5 "http://x.example/\\" "A")",
         L::Combined, true, R"(http://x.example/\\)", "A"},
        // A request of junk bytes (as Apache escapes them), empty fields,
        // a referrer with no user agent after it, trailing blanks.
        {"192.0.2.1 - - " + kTime + R"( "\x16\x03\x01\x02\x00" 400 226 "" "-")", L::Combined, true,
         "", ""},
        {"192.0.2.1 - - " + kTime + " \"GET / HTTP/1.1\" 200 5 \"http://r.example/\"", L::Combined,
         true, "http://r.example/", ""},
        {"192.0.2.1 - - " + kTime + " \"GET / HTTP/1.1\" 200 5 \t", L::Common, false, "", ""},
        // A byte-order mark before the first line; a CR before the line end.
        {"\xEF\xBB\xBF"
         "192.0.2.1 - - " +
             kTime + " \"GET / HTTP/1.1\" 200 5 \"http://b.example/\" \"A\"",
         L::Combined, true, "http://b.example/", "A"},
        {"192.0.2.1 - - " + kTime + " \"GET / HTTP/1.1\" 200 5 \"http://c.example/\" \"A\"\r",
         L::Combined, true, "http://c.example/", "A"},
        // The object store's access log, from its documentation, and with a referrer.
        {"79a59df900b949e55d96a1e698fbacedfd6e09d98eacf8f8d5218e7cd47ef2be DOC-EXAMPLE-BUCKET1 "
         "[06/Feb/2019:00:00:38 +0000] 192.0.2.3 "
         "79a59df900b949e55d96a1e698fbacedfd6e09d98eacf8f8d5218e7cd47ef2be 3E57427F3EXAMPLE "
         "REST.GET.VERSIONING - \"GET /DOC-EXAMPLE-BUCKET1?versioning HTTP/1.1\" 200 - 113 - 7 - "
         "\"-\" \"S3Console/0.4\" - s9lzHYrFp76ZVxRcpX9+5cjAnEH2ROuNkd2BHfIa6UkFVdtjf5mKR3/"
         "eTPFvsiP/XV/VLi31234= SigV4 ECDHE-RSA-AES128-GCM-SHA256 AuthHeader "
         "DOC-EXAMPLE-BUCKET1.s3.us-west-1.amazonaws.com TLSV1.2 - -",
         L::S3, true, "", "S3Console/0.4"},
        {"owner bucket " + kTime +
             " 192.0.2.3 arn:aws:iam::123456789012:user/x 3E57 WEBSITE.GET.OBJECT photos/a.jpg "
             "\"GET /photos/a.jpg HTTP/1.1\" 200 - 2662 2662 12 11 \"https://blog.example/post\" "
             "\"Mozilla/5.0 (X11)\"",
         L::S3, true, "https://blog.example/post", "Mozilla/5.0 (X11)"},
    });
}

TEST(LogFields, TakesNoLineThatOnlyLooksLikeCombined) {
    const std::string tail = " \"GET / HTTP/1.1\" 200 5 \"http://r.example/\" \"A\"";
    std::vector<Row> rows;
    for (const std::string& line : std::vector<std::string>{
             std::string("GET http://r.example/ from the shell, quoted \"http://r.example/\""),
             "192.0.2.1 - - [10/Oct/2000 13:55:36 -0700]" + tail,           // the time's shape
             "192.0.2.1 - - [10/Oct/2000:13:55:36 -0700] \"GET /\" 2OO 5",  // the status
             "192.0.2.1 - - [10/Oct/2000:13:55:36 -0700] \"GET /\" 2000 5",
             "192.0.2.1 - - [10/Oct/2000:13:55:36 -0700] GET / HTTP/1.1 200 5",  // unquoted request
             "192.0.2.1 - - [10/Oct/2000:13:55:36 -0700] \"GET / HTTP/1.1 200 5",  // unclosed
             "192.0.2.1  - - " + kTime + tail,                                     // two spaces
             "a b c d e " + kTime + tail,       // five fields before the time
             "192.0.2.1 " + kTime + tail,       // one
             " 192.0.2.1 - - " + kTime + tail,  // a blank first
             "192.0.2.1 - - " + kTime + " \"GET / HTTP/1.1\" 200 5 \"http://r.example/\"x",
             "192.0.2.1 - - " + kTime + " \"GET / HTTP/1.1\" 200 5 \"http://r.example/\" \"A\"x",
             "192.0.2.1 - - " + kTime + " \"GET / HTTP/1.1\" 200 5 0.123",  // common, then more
             "owner bucket " + kTime +
                 " 192.0.2.3 req id OP key \"GET / HTTP/1.1\" 200 - x - 1 1 "
                 "\"http://r.example/\" \"A\"",  // a size not a number
             "",
             "#",
             "# a comment",
             "[1,2]",
         }) {
        rows.push_back({line, L::Unknown, false, "", ""});
    }
    ExpectFile(rows);
}

TEST(LogFields, ReadsW3cLinesByTheLatestFieldsDirective) {
    const std::string iisFields =
        "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
        "cs(User-Agent) cs(Referer) sc-status sc-substatus sc-win32-status time-taken";
    ExpectFile({
        // Before any "#Fields:", a W3C line is of no known layout.
        {"2024-03-12 06:25:24 192.0.2.10 GET / - 80 - 203.0.113.5 Mozilla/5.0 - 200 0 0 15",
         L::Unknown, false, "", ""},
        {"\xEF\xBB\xBF#Software: Microsoft Internet Information Services 10.0", L::Directive, false,
         "", ""},
        {"#Version: 1.0", L::Directive, false, "", ""},
        {"#Date: 2024-03-12 06:25:24\r", L::Directive, false, "", ""},
        {iisFields + "\r", L::Directive, false, "", ""},
        // IIS writes "+" for the spaces of a value: kept as written.
        {"2024-03-12 06:25:24 192.0.2.10 GET /default.htm - 80 - 203.0.113.5 "
         "Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64) https://www.example.com/search?q=iis 200 0 0 "
         "15\r",
         L::W3c, true, "https://www.example.com/search?q=iis",
         "Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64)"},
        {"2024-03-12 06:25:25 192.0.2.10 GET /a.png - 80 - 203.0.113.5 Mozilla/5.0 - 200 0 0 0",
         L::W3c, true, "", "Mozilla/5.0"},
        // One value short, or one too many.
        {"2024-03-12 06:25:25 192.0.2.10 GET /a.png - 80 - 203.0.113.5 Mozilla/5.0 - 200 0 0",
         L::Unknown, false, "", ""},
        {"2024-03-12 06:25:25 192.0.2.10 GET /a.png - 80 - 203.0.113.5 Mozilla/5.0 - 200 0 0 0 1",
         L::Unknown, false, "", ""},
        // A new directive from the next line on: without a referrer field
        // the lines are of a known layout with none.
        {"#Fields: date time c-ip cs-method cs-uri-stem sc-status", L::Directive, false, "", ""},
        {"2024-03-12 06:26:00 203.0.113.5 GET / 200", L::W3c, false, "", ""},
        // Names without letter case; quoted values without their quotes.
        {"#Fields:\tdate time CS(REFERRER) cs(user-agent) sc-status", L::Directive, false, "", ""},
        {"2024-03-12 06:27:00 \"https://a.example/x y\" \"Mozilla/5.0 (X11)\" 200", L::W3c, true,
         "https://a.example/x y", "Mozilla/5.0 (X11)"},
        {"2024-03-12 06:27:00 \"-\" \"\" 200", L::W3c, true, "", ""},
        {"2024-03-12 06:27:00 \"https://a.example/x 200", L::Unknown, false, "", ""},
        // A combined line amid them is read as combined.
        {"192.0.2.1 - - " + kTime + " \"GET / HTTP/1.1\" 200 5 \"http://c.example/\" \"A\"",
         L::Combined, true, "http://c.example/", "A"},
    });
    // Values separated by tabs (a content network's example), the header by spaces.
    ExpectFile({
        {"#Version: 1.0", L::Directive, false, "", ""},
        {"#Fields: date time x-edge-location sc-bytes c-ip cs-method cs(Host) cs-uri-stem "
         "sc-status cs(Referer) cs(User-Agent) cs-uri-query cs(Cookie) x-edge-result-type "
         "x-edge-request-id x-host-header cs-protocol cs-bytes time-taken",
         L::Directive, false, "", ""},
        {"2019-12-04\t21:02:31\tLAX1\t392\t192.0.2.100\tGET\td111111abcdef8.cloudfront.net\t"
         "/index.html\t200\thttps://www.example.com/a%20b\tMozilla/5.0%20(Windows%20NT%2010.0;"
         "%20Win64;%20x64)\t-\t-\tHit\tSOX4xwn4XV6Q4rgb7XiVGOHms_BGlTAC4KyHmureZmBNrjGdRLiNIQ==\t"
         "d111111abcdef8.cloudfront.net\thttps\t23\t0.001",
         L::W3c, true, "https://www.example.com/a%20b",
         "Mozilla/5.0%20(Windows%20NT%2010.0;%20Win64;%20x64)"},
        {"2019-12-04\t21:02:31\tLAX1\t392\t192.0.2.100\tGET\td1.cloudfront.net\t/a b\t200\t-\t"
         "curl/8.4.0\t-\t-\tHit\tX==\td1.cloudfront.net\thttps\t23\t0.001",
         L::W3c, true, "", "curl/8.4.0"},
    });
}

TEST(LogFields, ReadsJsonLinesTopLevelKeysOnly) {
    ExpectFile({
        // nginx with escape=json.
        {R"({"time_local":"12/Mar/2024:06:25:24 +0000","remote_addr":"192.0.2.1",)"
         R"("request":"GET /a?q=\"x\" HTTP/1.1","status":"200","body_bytes_sent":"612",)"
         R"("http_referer":"https:\/\/www.example.com\/caf\u00e9?q=\"x\"\\",)"
         R"j("http_user_agent":"Mozilla/5.0 (X11; Linux x86_64)"})j",
         L::Json, true, "https://www.example.com/caf\xC3\xA9?q=\"x\"\\",
         "Mozilla/5.0 (X11; Linux x86_64)"},
        {R"({"remote_addr":"192.0.2.1","http_referer":"","http_user_agent":"-"})", L::Json, true,
         "", ""},
        // Caddy: the request's headers, each an array of values.
        {R"({"level":"info","ts":1646861401.5241024,"logger":"http.log.access",)"
         R"("msg":"handled request","request":{"remote_ip":"127.0.0.1","remote_port":"41342",)"
         R"("proto":"HTTP/2.0","method":"GET","host":"example.com","uri":"/",)"
         R"("headers":{"User-Agent":["curl/7.82.0"],"Accept":["*/*"],)"
         R"("Referer":["https://search.example/?q=caddy","https://second.example/"],)"
         R"("Accept-Encoding":["gzip, deflate, br"]},"tls":{"resumed":false,"version":772}},)"
         R"("bytes_read":0,"user_id":"","duration":0.000929675,"size":10900,"status":200,)"
         R"("resp_headers":{"Server":["Caddy"],"Referer":["https://resp.example/"]}})",
         L::Json, true, "https://search.example/?q=caddy", "curl/7.82.0"},
        {R"({"level":"info","request":{"referer":"http://n.example/","headers":{"Accept":["*/*"]}},)"
         R"("status":200})",
         L::Json, false, "", ""},
        // Traefik.
        {R"({"ClientAddr":"192.0.2.4:51234","ClientHost":"192.0.2.4","DownstreamStatus":200,)"
         R"("RequestHost":"whoami.example","RequestMethod":"GET","RequestPath":"/",)"
         R"("ServiceURL":{"Scheme":"http","Host":"192.0.2.80:80","User":null},)"
         R"("request_Referer":"https://www.example.org/links",)"
         R"("request_User-Agent":"Mozilla/5.0 (X11; rv:123.0) Gecko/20100101 Firefox/123.0",)"
         R"("time":"2024-03-12T06:25:24Z"})",
         L::Json, true, "https://www.example.org/links",
         "Mozilla/5.0 (X11; rv:123.0) Gecko/20100101 Firefox/123.0"},
        // The first of a repeated key wins; a nested "referer" never counts;
        // a key spelt with escapes is the key it spells.
        {R"({"referer":"http://first.example/","referrer":"http://second.example/"})", L::Json,
         true, "http://first.example/", ""},
        {R"({"Referer":"http://first.example/","Referer":"http://second.example/"})", L::Json, true,
         "http://first.example/", ""},
        {R"({"extra":{"referer":"http://nested.example/"},"list":[{"referer":"x"}]})", L::Json,
         false, "", ""},
        {R"({"refer\u0065r":"http://spelt.example/","cs-referer":"http://second.example/"})",
         L::Json, true, "http://spelt.example/", ""},
        // Values that are no strings, a surrogate pair, blanks, BOM, CR.
        {R"({"referer":null,"user_agent":42})", L::Json, true, "", ""},
        {"\xEF\xBB\xBF \t{\"referer\":\"http://e.example/\\ud83d\\ude00\"}\r", L::Json, true,
         "http://e.example/\xF0\x9F\x98\x80", ""},
        // Bytes that are not UTF-8 stand for themselves.
        {"{\"referrer\":\"http://l.example/caf\xE9\",\"http_user_agent\":\"A\xFF\\u00e9\"}",
         L::Json, true, "http://l.example/caf\xE9", "A\xFF\xC3\xA9"},
        // What the parser rejects is of no known layout.
        {R"({"referer":"http://t.example/")", L::Unknown, false, "", ""},
        {R"({"referer":"http://t.example/"} {"a":1})", L::Unknown, false, "", ""},
        {R"({"referer":"http://t.example/\ud800"})", L::Unknown, false, "", ""},
        {R"({referer:"http://t.example/"})", L::Unknown, false, "", ""},
        {R"({"referer":"http://t.example/","pad":")" +
             std::string(FieldReader::kMaxJsonLine - 40, 'x') + "\"}",
         L::Json, true, "http://t.example/", ""},
        {R"({"referer":"http://t.example/","pad":")" +
             std::string(FieldReader::kMaxJsonLine - 39, 'x') + "\"}",
         L::Unknown, false, "", ""},
    });
}

}  // namespace
}  // namespace tallowby
