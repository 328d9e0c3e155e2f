#include "httpclient.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace kivra::platform::net {

namespace {

std::once_flag s_curlInit;

struct Sink {
    std::string* body;
    std::size_t limit;
    bool overflow = false;
};

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::size_t n = size * count;
    if (sink->body->size() + n > sink->limit) {
        // An answer past the bound is cut off here; the exchange counts as failed.
        sink->overflow = true;
        return CURL_WRITEFUNC_ERROR;
    }
    sink->body->append(data, n);
    return n;
}

} // namespace

// One easy handle and one multi handle per session: the multi handle keeps the connection for
// the next exchange and lets Abort wake a waiting exchange at once.
struct HttpSession::Handles {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    std::atomic<bool> abort{false};
};

HttpSession::HttpSession(std::string agent, int accessType, std::string proxy)
    : m_agent(std::move(agent)), m_accessType(accessType), m_proxy(std::move(proxy)),
      m_handles(std::make_unique<Handles>()) {
    std::call_once(s_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_handles->easy = curl_easy_init();
    m_handles->multi = curl_multi_init();
}

HttpSession::~HttpSession() {
    if (m_handles->easy != nullptr)
        curl_easy_cleanup(m_handles->easy);
    if (m_handles->multi != nullptr)
        curl_multi_cleanup(m_handles->multi);
}

void HttpSession::Abort() {
    m_handles->abort = true;
    if (m_handles->multi != nullptr)
        curl_multi_wakeup(m_handles->multi);
}

HttpRequest::Result HttpRequest::Send(std::string_view body) {
    HttpSession& session = m_connection.Session();
    HttpSession::Handles& h = *session.m_handles;
    m_status = 0;
    m_error.clear();
    m_body.clear();
    m_readPos = 0;
    if (h.easy == nullptr || h.multi == nullptr) {
        m_error = "The HTTP layer could not be started";
        return Result::NoAnswer;
    }
    if (h.abort) {
        m_error = "The operation was cancelled";
        return Result::NoAnswer;
    }

    std::string url = "http://";
    const std::string& server = m_connection.Server();
    // A bare IPv6 address needs brackets inside a URL.
    if (server.find(':') != std::string::npos && server.front() != '[')
        url += "[" + server + "]";
    else
        url += server;
    if (m_connection.Port() != 0)
        url += ":" + std::to_string(m_connection.Port());
    if (m_path.empty() || m_path.front() != '/')
        url += '/';
    url += m_path;

    CURL* e = h.easy;
    curl_easy_reset(e);
    Sink sink{&m_body, session.m_limits.maxAnswerBytes};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_slist* headers = nullptr;
    // The tunnel page reads the body as it is: declare no content type and no accepted types,
    // and send at once without waiting for a "100 Continue".
    headers = curl_slist_append(headers, "Content-Type:");
    headers = curl_slist_append(headers, "Accept:");
    headers = curl_slist_append(headers, "Expect:");
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_USERAGENT, session.m_agent.c_str());
    // Direct access must not pick up a proxy from the environment either.
    curl_easy_setopt(e, CURLOPT_PROXY, session.m_accessType == 3 ? session.m_proxy.c_str() : "");
    curl_easy_setopt(e, CURLOPT_POST, 1L);
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, session.m_limits.connectTimeoutMs);
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, session.m_limits.totalTimeoutMs);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http");

    CURLcode code = CURLE_OK;
    curl_multi_add_handle(h.multi, e);
    for (;;) {
        int running = 0;
        const CURLMcode mc = curl_multi_perform(h.multi, &running);
        if (mc != CURLM_OK) {
            code = CURLE_RECV_ERROR;
            break;
        }
        if (running == 0) {
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(h.multi, &left)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == e)
                    code = msg->data.result;
            }
            break;
        }
        if (h.abort) {
            code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_multi_poll(h.multi, nullptr, 0, 1000, nullptr);
        if (h.abort) {
            code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
    }
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &m_status);
    curl_multi_remove_handle(h.multi, e);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, nullptr);
    curl_slist_free_all(headers);

    if (code == CURLE_OK)
        return Result::Answered;
    m_error = sink.overflow            ? "The answer is too large"
              : errorBuffer[0] != '\0' ? errorBuffer
                                       : curl_easy_strerror(code);
    m_body.clear();
    return m_status != 0 ? Result::BrokenAnswer : Result::NoAnswer;
}

std::size_t HttpRequest::Read(char* out, std::size_t size) {
    const std::size_t n = std::min(size, m_body.size() - m_readPos);
    if (n > 0)
        std::memcpy(out, m_body.data() + m_readPos, n);
    m_readPos += n;
    return n;
}

} // namespace kivra::platform::net
