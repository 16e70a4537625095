// The outcome of every core operation that can fail: what kind of failure, where in the input
// when that is known, and the reason in words (with the system's own words where the system
// refused). Shells turn it into their fixed texts and exit codes; the reason is for logs and
// the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace lnd {

enum class Status : std::uint8_t {
    Ok,
    CannotCreate,   // a new file could not be made at all (nothing was written)
    IoFailed,       // reading or writing failed part-way (the target is left as it was)
    BadInput,       // the input is not what the operation accepts (the message says why)
    OutOfMemory,    // the work did not fit in memory (nothing was changed)
    NotPossible,    // the operation does not apply to the current state (no land, no block)
};

class [[nodiscard]] Result {
public:
    Result() = default;

    static Result success() { return {}; }
    // A failure of the given kind; `systemError` is the errno that caused it, if any.
    static Result failure(Status status, std::string message, int systemError = 0) {
        Result r;
        r.m_status = status == Status::Ok ? Status::IoFailed : status;
        r.m_message = std::move(message);
        r.m_error = systemError;
        return r;
    }
    // Bad input whose fault lies at a byte offset of it.
    static Result badInputAt(std::uint64_t offset, std::string message) {
        Result r = failure(Status::BadInput, std::move(message));
        r.m_offset = offset;
        return r;
    }

    bool ok() const { return m_status == Status::Ok; }
    explicit operator bool() const { return ok(); }
    Status status() const { return m_status; }
    // Empty on success; otherwise what failed and why, for a person.
    const std::string& message() const { return m_message; }
    // The system's error number behind the failure, 0 when none.
    int systemError() const { return m_error; }
    // Where in the input the fault lies, when the operation read bytes and knows.
    std::optional<std::uint64_t> offset() const { return m_offset; }

    // The same failure with `context` put before its message ("reading X: ...").
    Result within(const std::string& context) const {
        Result r = *this;
        if (!r.ok()) r.m_message = context + ": " + r.m_message;
        return r;
    }

private:
    Status m_status = Status::Ok;
    std::string m_message;
    int m_error = 0;
    std::optional<std::uint64_t> m_offset;
};

// Names a status for the command line and JSON.
inline const char* statusName(Status status) {
    switch (status) {
    case Status::Ok: return "ok";
    case Status::CannotCreate: return "cannot-create";
    case Status::IoFailed: return "io-failed";
    case Status::BadInput: return "bad-input";
    case Status::OutOfMemory: return "out-of-memory";
    case Status::NotPossible: return "not-possible";
    }
    return "unknown";
}

}  // namespace lnd
