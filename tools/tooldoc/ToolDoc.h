// ToolDoc: orvandel-tool's manual page and bash completion, written from the same CLI11
// declarations that make its --help, so that the three never disagree.
//
//   const orvtool::TToolApp tool = orvtool::MakeToolApp();
//   WriteText("orvandel-tool.1", orvtool::ManPage(*tool.App, "0.1.0"));
//   WriteText("orvandel-tool.bash-completion", orvtool::BashCompletion(*tool.App));
//
// What a value is, for the completion, comes from its type name (see tool/Command.h).
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace orvtool {

// The subcommands of the program, in the order its help lists them.
std::vector<const CLI::App*> DocumentedCommands(const CLI::App& app);
// The arguments of a command (first) and its options, without the help flag.
std::vector<const CLI::Option*> DocumentedOptions(const CLI::App& command);

// Whether an option takes a value (a flag takes none).
bool TakesValue(const CLI::Option& option);

// The groff source of orvandel-tool(1).
std::string ManPage(const CLI::App& app, const std::string& version);

// A bash completion script for orvandel-tool.
std::string BashCompletion(const CLI::App& app);

}  // namespace orvtool
