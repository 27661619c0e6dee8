#include "httprequestparser.h"

#include "httplimits.h"

#include <http_parser.h>

#include <climits>
#include <mutex>

struct HttpRequestParser::State
{
    http_parser parser;
};

struct HttpRequestParser::Callbacks
{
    static HttpRequestParser *self(http_parser *p)
    {
        return static_cast<HttpRequestParser *>(p->data);
    }

    static int onMessageBegin(http_parser *p)
    {
        HttpRequestParser *s = self(p);
        s->m_current = HttpRequestHead();
        s->m_bodyBytes = 0;
        s->m_inMessage = true;
        s->m_headComplete = false;
        s->m_lastWasValue = false;
        return 0;
    }

    static int onUrl(http_parser *p, const char *at, size_t len)
    {
        self(p)->m_current.target.append(at, int(len));
        return 0;
    }

    static int onHeaderField(http_parser *p, const char *at, size_t len)
    {
        HttpRequestParser *s = self(p);
        // A field name is a token: whitespace before the colon
        // ("Content-Length : 5") is malformed, not a name to trim.
        for (size_t i = 0; i < len; ++i) {
            if (at[i] == ' ' || at[i] == '\t') {
                s->m_errorStatus = 400;
                return -1;
            }
        }
        auto &headers = s->m_current.headers;
        if (headers.isEmpty() || s->m_lastWasValue)
            headers.append(QPair<QByteArray, QByteArray>());
        headers.last().first.append(QByteArray(at, int(len)).toLower());
        s->m_lastWasValue = false;
        return 0;
    }

    static int onHeaderValue(http_parser *p, const char *at, size_t len)
    {
        HttpRequestParser *s = self(p);
        auto &headers = s->m_current.headers;
        if (headers.isEmpty())
            headers.append(QPair<QByteArray, QByteArray>());
        headers.last().second.append(at, int(len));
        s->m_lastWasValue = true;
        return 0;
    }

    static int onHeadersComplete(http_parser *p)
    {
        HttpRequestParser *s = self(p);
        s->m_headComplete = true;
        // content_length is ULLONG_MAX when the request carries no
        // Content-Length header.
        if (p->content_length != ULLONG_MAX && p->content_length > HttpLimits::kMaxBodyBytes) {
            s->m_errorStatus = 413;
            return -1;
        }
        return 0;
    }

    static int onBody(http_parser *p, const char *, size_t len)
    {
        HttpRequestParser *s = self(p);
        s->m_bodyBytes += len;
        if (s->m_bodyBytes > HttpLimits::kMaxBodyBytes) {
            s->m_errorStatus = 413;
            return -1;
        }
        return 0;
    }

    static int onMessageComplete(http_parser *p)
    {
        HttpRequestParser *s = self(p);
        s->m_current.method = int(p->method);
        s->m_current.httpMajor = p->http_major;
        s->m_current.httpMinor = p->http_minor;
        s->m_current.keepAlive = http_should_keep_alive(p) != 0;
        s->m_ready = true;
        s->m_inMessage = false;
        s->m_headComplete = false;
        // Stop here so the caller answers this request before the next one.
        http_parser_pause(p, 1);
        return 0;
    }

    static const http_parser_settings &settings()
    {
        static const http_parser_settings s = [] {
            http_parser_settings v;
            http_parser_settings_init(&v);
            v.on_message_begin = &onMessageBegin;
            v.on_url = &onUrl;
            v.on_header_field = &onHeaderField;
            v.on_header_value = &onHeaderValue;
            v.on_headers_complete = &onHeadersComplete;
            v.on_body = &onBody;
            v.on_message_complete = &onMessageComplete;
            return v;
        }();
        return s;
    }
};

HttpRequestParser::HttpRequestParser() : m_state(new State)
{
    // The library's head limit is process-wide; this program parses HTTP
    // requests only here, so it is set once to our bound.
    static std::once_flag once;
    std::call_once(once, [] { http_parser_set_max_header_size(HttpLimits::kMaxHeadBytes); });
    http_parser_init(&m_state->parser, HTTP_REQUEST);
    m_state->parser.data = this;
}

HttpRequestParser::~HttpRequestParser() = default;

HttpRequestParser::Event HttpRequestParser::feed(const char *data, std::size_t len,
                                                 std::size_t *consumed)
{
    *consumed = 0;
    if (m_failed)
        return Event::Error;
    if (m_finished || len == 0)
        return Event::NeedMore;

    http_parser *p = &m_state->parser;
    m_ready = false;
    const std::size_t n = http_parser_execute(p, &Callbacks::settings(), data, len);
    const auto err = HTTP_PARSER_ERRNO(p);
    *consumed = n;

    if (m_ready) {
        if (err == HPE_PAUSED)
            http_parser_pause(p, 0);
        // An upgrade or CONNECT request hands the connection to another
        // protocol; this server answers it and closes.
        if (p->upgrade || !m_current.keepAlive) {
            m_current.keepAlive = false;
            m_finished = true;
        }
        return Event::Request;
    }
    if (err != HPE_OK) {
        m_failed = true;
        m_inMessage = false;
        if (m_errorStatus == 0)
            m_errorStatus = (err == HPE_HEADER_OVERFLOW) ? 431 : 400;
        return Event::Error;
    }
    return Event::NeedMore;
}

HttpRequestHead HttpRequestParser::takeRequest()
{
    HttpRequestHead head = std::move(m_current);
    m_current = HttpRequestHead();
    return head;
}
