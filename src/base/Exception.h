// Exception: the one base of every error the viewer raises.
//
// Failures are exceptions that carry a message text; the window shows the text in a
// message box, the tools print it on standard error. The classes below carry the
// platform messages ("Cannot open file %s", "Stream read error", ...) that the rest of
// the code raises by name.
#pragma once

#include <stdexcept>
#include <string>

namespace orv {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Stream errors.
class EStreamError : public Exception { using Exception::Exception; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EFCreateError : public EStreamError { using EStreamError::EStreamError; };

// Text to number conversion ("'%s' is not a valid integer value").
class EConvertError : public Exception { using Exception::Exception; };
// Index past the end of a list ("List index out of bounds (%d)").
class EListError : public Exception { using Exception::Exception; };
// A file that is not in the format its reader expects.
class EFormatError : public Exception { using Exception::Exception; };

}  // namespace orv
