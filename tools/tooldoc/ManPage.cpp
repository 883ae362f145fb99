// The manual page: NAME and SYNOPSIS from the program's description, one subsection per
// command with its usage, its arguments and options and its footer, then the exit codes.
// A footer's plain lines are filled as paragraphs; its indented lines (examples, tables)
// are kept as they are.
#include <algorithm>
#include <cctype>
#include <sstream>

#include "ToolDoc.h"

namespace orvtool {

namespace {

const std::string ProgramName = "orvandel-tool";

// Text for groff: backslashes doubled, a leading dot or quote made harmless. In code
// (`literal`) every hyphen is a real minus, so that examples can be copied.
std::string Escape(const std::string& text, bool literal = false)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-' && literal)
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

std::string Bold(const std::string& text)
{
    return std::string("\\fB").append(Escape(text, true)).append("\\fR");
}

std::string Italic(const std::string& text)
{
    return std::string("\\fI").append(Escape(text, true)).append("\\fR");
}

// "-d DIR", "--help": the names in bold, the value in italics.
std::string OptionTerm(const CLI::Option& option)
{
    if (option.get_positional())
        return Italic(option.get_name()).append(option.get_items_expected_max() > 1 ? " ..." : "");
    std::vector<std::string> names;
    for (const std::string& s : option.get_snames())
        names.push_back(Bold(std::string("-").append(s)));
    for (const std::string& l : option.get_lnames())
        names.push_back(Bold(std::string("--").append(l)));
    std::string term;
    for (size_t i = 0; i < names.size(); ++i)
        term.append(i ? ", " : "").append(names[i]);
    if (TakesValue(option))
        term.append(" ").append(Italic(option.get_type_name()));
    return term;
}

std::string Synopsis(const CLI::App& command)
{
    std::string line = Bold(ProgramName).append(" ").append(Bold(command.get_name()));
    if (!command.get_options([](const CLI::Option* o) { return o->nonpositional(); }).empty())
        line.append(" [").append(Italic("OPTIONS")).append("]");
    for (const CLI::Option* option : command.get_options([](const CLI::Option* o) { return o->get_positional(); })) {
        const std::string name = Italic(option->get_name()).append(option->get_items_expected_max() > 1 ? "..." : "");
        line.append(option->get_required() ? " " : " [").append(name).append(option->get_required() ? "" : "]");
    }
    return line;
}

// Paragraphs separated by blank lines; indented lines kept as they are.
std::string Paragraphs(const std::string& text)
{
    std::ostringstream out;
    std::istringstream in(text);
    bool kept = false;        // inside lines kept as they are
    bool paragraph = false;   // a paragraph has begun
    auto endKept = [&] {
        if (kept)
            out << ".fi\n.RE\n";
        kept = false;
    };
    for (std::string line; std::getline(in, line);) {
        if (line.find_first_not_of(' ') == std::string::npos) {
            endKept();
            paragraph = false;
            continue;
        }
        if (!paragraph) {
            out << ".PP\n";
            paragraph = true;
        }
        if (line.starts_with("  ")) {
            if (!kept)
                out << ".RS 4\n.nf\n";
            kept = true;
            out << Escape(line.substr(2), true) << "\n";
        } else {
            endKept();
            out << Escape(line) << "\n";
        }
    }
    endKept();
    return out.str();
}

std::string Sentence(std::string text)
{
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (!text.empty() && text.back() != '.')
        text += '.';
    return text;
}

void OptionList(std::ostringstream& out, const std::vector<const CLI::Option*>& options)
{
    for (const CLI::Option* option : options)
        out << ".TP\n" << OptionTerm(*option) << "\n" << Escape(Sentence(option->get_description())) << "\n";
}

}  // namespace

bool TakesValue(const CLI::Option& option)
{
    return option.get_expected_max() != 0;
}

std::vector<const CLI::App*> DocumentedCommands(const CLI::App& app)
{
    std::vector<const CLI::App*> commands = app.get_subcommands([](const CLI::App*) { return true; });
    std::stable_sort(commands.begin(), commands.end(), [](const CLI::App* a, const CLI::App* b) {
        return (a->get_name() == "help") < (b->get_name() == "help");
    });
    return commands;
}

std::vector<const CLI::Option*> DocumentedOptions(const CLI::App& command)
{
    const CLI::Option* help = command.get_help_ptr();
    std::vector<const CLI::Option*> options =
        command.get_options([help](const CLI::Option* o) { return o != help && o->get_positional(); });
    for (const CLI::Option* o : command.get_options([help](const CLI::Option* o) { return o != help; }))
        if (!o->get_positional())
            options.push_back(o);
    return options;
}

std::string ManPage(const CLI::App& app, const std::string& version)
{
    std::string summary = app.get_description();
    if (!summary.empty()) {
        summary[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(summary[0])));
        if (summary.back() == '.')
            summary.pop_back();
    }
    std::ostringstream out;
    out << ".\\\" Written by orvandel-tool-doc from the commands' help; do not edit.\n"
        << ".TH ORVANDEL\\-TOOL 1 \"\" \"Orvandel " << Escape(version) << "\" \"User Commands\"\n"
        << ".nh\n"
        << ".SH NAME\n"
        << "orvandel\\-tool \\- " << Escape(summary) << "\n"
        << ".SH SYNOPSIS\n"
        << Bold(ProgramName) << " " << Italic("COMMAND") << " [" << Italic("OPTIONS") << "] ["
        << Italic("ARGUMENTS") << "]\n.br\n"
        << Bold(ProgramName) << " " << Bold("--help") << " | " << Bold("--version") << "\n"
        << ".SH DESCRIPTION\n"
        << Escape(app.get_description()) << "\n"
        << ".PP\n"
        << "Options may come before, between or after the arguments; an option given twice counts once, "
           "with the last value. "
        << Bold("--") << " ends the options, so that the arguments after it may begin with a hyphen. "
        << "Numbers are 32\\-bit integers, decimal or hexadecimal after " << Bold("$") << " or " << Bold("0x")
        << "; a zone id may be negative.\n"
        << ".SH OPTIONS\n";
    std::vector<const CLI::Option*> programOptions = {app.get_help_ptr()};
    for (const CLI::Option* o : DocumentedOptions(app))
        programOptions.push_back(o);
    OptionList(out, programOptions);
    out << ".PP\nEvery command also takes " << Bold("-h") << ", " << Bold("--help") << ".\n";
    out << ".SH COMMANDS\n";
    for (const CLI::App* command : DocumentedCommands(app)) {
        out << ".SS " << command->get_name() << "\n" << Synopsis(*command) << "\n.PP\n"
            << Escape(Sentence(command->get_description())) << "\n";
        OptionList(out, DocumentedOptions(*command));
        out << Paragraphs(command->get_footer());
    }
    out << ".SH EXIT STATUS\n"
        << ".TP\n0\nSuccess.\n"
        << ".TP\n1\nFailure: the message on standard error names the file (and the member).\n"
        << ".TP\n2\nWrong use: an unknown command or option, a missing or surplus argument, a value out of "
           "range; the message is followed by the command's usage.\n"
        << ".SH SEE ALSO\n"
        << ".BR orvandel (1)\n";
    return out.str();
}

}  // namespace orvtool
