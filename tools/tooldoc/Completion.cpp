// The bash completion: one table per command (its options, which of them take a value
// and what kind, what kind each argument is) and one function that finds where the word
// being completed stands. It needs nothing but bash itself.
#include <sstream>

#include "ToolDoc.h"

namespace orvtool {

namespace {

// What a value is, by its type name: a directory, a path, one of a few words, or text
// that cannot be guessed.
std::string ValueKind(const CLI::Option& option)
{
    if (option.get_type_name().find('|') != std::string::npos) {
        std::string words = option.get_type_name();
        for (char& c : words)
            if (c == '|')
                c = ' ';
        return std::string("words:").append(words);
    }
    const std::string type = option.get_positional() ? option.get_name() : option.get_type_name();
    if (type == "DIR" || type == "GAMEDIR")
        return "dirs";
    if (type == "FILE" || type == "ARCHIVE" || type == "IMAGE" || type.ends_with(".png"))
        return "files";
    return "none";
}

std::string Quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string Names(const CLI::Option& option)
{
    std::string names;
    for (const std::string& s : option.get_snames())
        names.append(" -").append(s);
    for (const std::string& l : option.get_lnames())
        names.append(" --").append(l);
    return names;
}

}  // namespace

std::string BashCompletion(const CLI::App& app)
{
    std::ostringstream out;
    std::string commands;
    for (const CLI::App* command : DocumentedCommands(app))
        commands.append(command->get_name()).append(" ");
    std::string programOptions = Names(*app.get_help_ptr());
    for (const CLI::Option* o : DocumentedOptions(app))
        programOptions += Names(*o);

    out << "# bash completion for orvandel-tool. Written by orvandel-tool-doc from the commands' help;\n"
           "# do not edit.\n"
           "\n"
           "# Sets COMPREPLY for a value of the given kind: dirs, files, words:WORD..., none.\n"
           "_orvandel_tool_values()\n"
           "{\n"
           "    local kind=$1 cur=$2\n"
           "    case $kind in\n"
           "        dirs) mapfile -t COMPREPLY < <(compgen -d -- \"$cur\") ;;\n"
           "        files) mapfile -t COMPREPLY < <(compgen -f -- \"$cur\") ;;\n"
           "        words:*) mapfile -t COMPREPLY < <(compgen -W \"${kind#words:}\" -- \"$cur\") ;;\n"
           "        *) COMPREPLY=() ;;\n"
           "    esac\n"
           "}\n"
           "\n"
           "_orvandel_tool()\n"
           "{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
           "    local i j command='' start=0\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        case ${COMP_WORDS[i]} in\n"
           "            -*) ;;\n"
           "            *) command=${COMP_WORDS[i]}; start=$i; break ;;\n"
           "        esac\n"
           "    done\n"
           "    # Per command: its options, those that take a value with the kind of each, the\n"
           "    # kinds of its arguments, and whether the last argument repeats.\n"
           "    local options='' valued=() kinds=() arguments=() repeats=0\n"
           "    case $command in\n"
           "        '')\n"
           "            if [[ $cur == -* ]]; then\n"
           "                _orvandel_tool_values "
        << Quoted(std::string("words:").append(programOptions.substr(1))) << " \"$cur\"\n"
        << "            else\n"
           "                _orvandel_tool_values "
        << Quoted(std::string("words:").append(commands.substr(0, commands.size() - 1))) << " \"$cur\"\n"
        << "            fi\n"
           "            return ;;\n";
    for (const CLI::App* command : DocumentedCommands(app)) {
        std::string options = Names(*command->get_help_ptr());
        std::string valued, kinds, arguments;
        bool repeats = false;
        for (const CLI::Option* o : DocumentedOptions(*command)) {
            if (o->get_positional()) {
                arguments.append(" ").append(Quoted(ValueKind(*o)));
                repeats = o->get_items_expected_max() > 1;
                continue;
            }
            options += Names(*o);
            if (TakesValue(*o))
                for (const std::string& name : o->get_lnames().empty() ? o->get_snames() : o->get_lnames()) {
                    valued.append(o->get_lnames().empty() ? " -" : " --").append(name);
                    kinds.append(" ").append(Quoted(ValueKind(*o)));
                }
        }
        out << "        " << command->get_name() << ")\n"
            << "            options=" << Quoted(options.substr(1)) << "\n"
            << "            valued=(" << (valued.empty() ? "" : valued.substr(1)) << ")\n"
            << "            kinds=(" << (kinds.empty() ? "" : kinds.substr(1)) << ")\n"
            << "            arguments=(" << (arguments.empty() ? "" : arguments.substr(1)) << ")\n"
            << "            repeats=" << (repeats ? 1 : 0) << " ;;\n";
    }
    out << "        *) return ;;\n"
           "    esac\n"
           "    # Which argument the word is: options and their values do not count; after --\n"
           "    # everything is an argument.\n"
           "    local n=0 ended=0 word\n"
           "    for ((i = start + 1; i < COMP_CWORD; i++)); do\n"
           "        word=${COMP_WORDS[i]}\n"
           "        if ((ended)); then\n"
           "            n=$((n + 1))\n"
           "        elif [[ $word == -- ]]; then\n"
           "            ended=1\n"
           "        elif [[ $word == -* ]]; then\n"
           "            for ((j = 0; j < ${#valued[@]}; j++)); do\n"
           "                if [[ $word == \"${valued[j]}\" ]]; then i=$((i + 1)); break; fi\n"
           "            done\n"
           "        else\n"
           "            n=$((n + 1))\n"
           "        fi\n"
           "    done\n"
           "    if ((!ended)); then\n"
           "        for ((j = 0; j < ${#valued[@]}; j++)); do\n"
           "            if [[ $prev == \"${valued[j]}\" ]]; then\n"
           "                _orvandel_tool_values \"${kinds[j]}\" \"$cur\"\n"
           "                return\n"
           "            fi\n"
           "        done\n"
           "        if [[ $cur == -* ]]; then\n"
           "            _orvandel_tool_values \"words:$options\" \"$cur\"\n"
           "            return\n"
           "        fi\n"
           "    fi\n"
           "    if ((n >= ${#arguments[@]})); then\n"
           "        ((repeats && ${#arguments[@]} > 0)) || { COMPREPLY=(); return; }\n"
           "        n=$((${#arguments[@]} - 1))\n"
           "    fi\n"
           "    _orvandel_tool_values \"${arguments[n]}\" \"$cur\"\n"
           "}\n"
           "\n"
           "complete -o filenames -F _orvandel_tool orvandel-tool\n";
    return out.str();
}

}  // namespace orvtool
