#pragma once

#include <cstddef>

// Bounds the embedded HTTP server enforces on every connection. The server
// shares the GUI thread, so each bound keeps one client from holding memory or
// time that the panel needs.
namespace HttpLimits {

// Request line + header lines + blank line; larger heads are answered 431 and
// the connection is closed.
constexpr std::size_t kMaxHeadBytes = 16 * 1024;
// Request body (Content-Length or the sum of chunks). The server answers GET
// only, so a body is never used: larger ones are answered 413 and the
// connection is closed; smaller ones are read and discarded.
constexpr std::size_t kMaxBodyBytes = 64 * 1024;
// A request (head and body together) must arrive completely within this time,
// counted from accept for the first request of a connection and from its
// first byte for later ones. Progress does not extend it.
constexpr int kRequestTimeoutMs = 10 * 1000;
// A kept-alive connection without traffic (and a client that stops reading
// its responses) is closed after this time.
constexpr int kIdleTimeoutMs = 30 * 1000;
// After the last response of a closing connection has been sent, the server
// half-closes and discards whatever the client still sends for at most this
// long, so the client reads the response instead of a reset.
constexpr int kLingerTimeoutMs = 2 * 1000;
// Open connections; further ones are closed as soon as they are accepted,
// unless the newcomer's address holds fewer connections than the address
// holding the most, which then gives up its least active one. One address can
// use every place while nobody else asks, and any address with a browser's
// handful of connections gets in while one address holds many.
constexpr int kMaxConnections = 256;
// Requests of one connection received but not yet answered; reading from that
// connection pauses at this count.
constexpr int kMaxPipelinedRequests = 16;
// Response bytes queued on one connection that the client has not read yet
// (file bodies count with their unsent length); reading further requests
// pauses above this.
constexpr std::size_t kMaxQueuedOutputBytes = 1024 * 1024;
// File bodies open on one connection; reading further requests pauses at this
// count, so a connection holds at most this many file descriptors.
constexpr int kMaxOpenFilesPerConnection = 1;
// Bytes sent on one connection per event-loop turn before other work runs.
constexpr std::size_t kWriteBudgetBytes = 1024 * 1024;
// Bytes read from a socket per step.
constexpr std::size_t kReadChunkBytes = 64 * 1024;

} // namespace HttpLimits

// Time limits of one server; tests shorten them, production uses the defaults.
struct HttpTimeouts
{
    int requestMs = HttpLimits::kRequestTimeoutMs;
    int idleMs = HttpLimits::kIdleTimeoutMs;
    int lingerMs = HttpLimits::kLingerTimeoutMs;
};
