// Exception: the one base of every error the viewer raises.
//
// Failures are exceptions that carry a message text; the window shows the text in a
// message box, the tools print it on standard error. The classes below carry the
// platform messages ("Cannot open file %s", "Stream read error", ...) that the rest of
// the code raises by name.
//
// A message names the file it is about, and the archive member when there is one. The
// code that knows them runs the work through NamingFailures:
//
//   NamingFailures(archive.FileName(), "terrain.pcx", [&] { ... });
//       // "zones/zone111/dat111.mpk: terrain.pcx: error (damaged compressed data)"
//
// An orv::Exception keeps its class and gets the names put in front of its text (each
// left out when the text already names it); running out of memory becomes EOutOfMemory
// "FILE: MEMBER: out of memory"; any other std::exception an Exception with its text.
#pragma once

#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace orv {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : m_Message(std::move(message)) {}
    const char* what() const noexcept override { return m_Message.c_str(); }
    const std::string& Message() const { return m_Message; }

    // Puts "file: " and "member: " (when not empty) in front of the message, each unless
    // the message already names it.
    void NameSource(std::string_view file, std::string_view member = {})
    {
        m_Message = NamedMessage(file, member, m_Message);
    }

    // "file: member: text" with the same rule.
    static std::string NamedMessage(std::string_view file, std::string_view member, std::string_view text)
    {
        std::string named;
        if (!file.empty() && !Names(text, file))
            named.append(file).append(": ");
        if (!member.empty() && !Names(text, member))
            named.append(member).append(": ");
        return named.append(text);
    }

private:
    // A text names a file or member when it starts with "name: ", holds "[name]", or
    // holds " name" followed by its end, ":" or a blank ("Cannot open file NAME").
    static bool Names(std::string_view text, std::string_view name)
    {
        if (text.starts_with(std::string(name).append(": ")) ||
            text.find(std::string("[").append(name).append("]")) != std::string_view::npos)
            return true;
        const std::string spaced = std::string(" ").append(name);
        for (size_t at = text.find(spaced); at != std::string_view::npos; at = text.find(spaced, at + 1)) {
            const size_t end = at + spaced.size();
            if (end == text.size() || text[end] == ':' || text[end] == ' ')
                return true;
        }
        return false;
    }

    std::string m_Message;
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
// A file that would need more memory than it can really produce, or than there is.
class EOutOfMemory : public Exception { using Exception::Exception; };

template <class TWork>
decltype(auto) NamingFailures(std::string_view file, std::string_view member, TWork&& work)
{
    try {
        return work();
    } catch (Exception& e) {
        e.NameSource(file, member);
        throw;
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(Exception::NamedMessage(file, member, "out of memory"));
    } catch (const std::exception& e) {
        throw Exception(Exception::NamedMessage(file, member, e.what()));
    }
}

}  // namespace orv
