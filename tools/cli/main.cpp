// nimbrel: the files of Korvel braille displays and notetakers from a
// terminal or a script.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>

#include "Arguments.h"
#include "Commands.h"
#include "Interrupt.h"
#include "MountCommand.h"
#include "NimbrelVersion.h"
#include "protocol/PrintableText.h"

namespace {
constexpr const char* generalHelp = R"(A device is chosen with --device: its port (COM3 on Windows, a device path
such as /dev/ttyUSB0 elsewhere) or the name the device is remembered by.
With exactly one device connected, it is used without asking.
"nimbrel COMMAND --help" shows one command with its examples.

Examples:
  nimbrel scan
  nimbrel ls
  nimbrel --device COM3 get LETTER.TXT NOTES.BRF -o Documents
  nimbrel --device "Corvia 80" put report.brf
  nimbrel put --overwrite *.brf
  nimbrel mv OLD.TXT NEW.TXT
  nimbrel rm DRAFT.TXT
  nimbrel name "Kitchen Corvia"
  nimbrel table german.tbl 3
  nimbrel mount ~/Korvel      (Linux; fusermount3 -u ~/Korvel unmounts)

Exit codes: 0 success, 1 a device or file error, 2 bad usage, 3 files skipped
(they exist and were not replaced), 130 interrupted.
On Linux the ports to scan are /dev/ttyUSB*, /dev/ttyACM* and /dev/rfcomm*,
or those given with --ports or in NIMBREL_PORTS (separated by colons); scan
--watch and mount follow devices coming and going in /dev (or in the folder
NIMBREL_PORT_FOLDER names).
There the device's file names are read in the Windows-1252 code page, or in
the one given with --codepage or in NIMBREL_CODEPAGE (such as CP437).)";

// A command's own help ends with its examples; the options every command
// takes are only named, since "nimbrel --help" explains them.
CLI::App* command(CLI::App& app, const std::string& name, const std::string& description, const std::string& examples) {
    CLI::App* sub = app.add_subcommand(name, description);
    sub->footer("Examples:\n" + examples +
                "\nEvery command also takes --device, --ports and --verbose (see nimbrel --help).");
    return sub;
}
OverwriteChoice choiceFrom(bool overwrite, bool keep) {
    return overwrite ? OverwriteChoice::Always : keep ? OverwriteChoice::Never : OverwriteChoice::Ask;
}

// The tool's own words for a command line it cannot take, with where to
// read how it is written.
std::string usageProblem(CLI::App& app, const CLI::ParseError& error) {
    const std::vector<CLI::App*> parsed = app.get_subcommands();
    if (parsed.empty()) {
        std::string commands;
        for (const CLI::App* sub : app.get_subcommands({}))
            commands += (commands.empty() ? "" : ", ") + sub->get_name();
        const std::vector<std::string> extra = app.remaining();
        const std::string what = extra.empty() || extra.front().starts_with('-')
                                     ? "a command is missing"
                                     : "there is no command \"" + printable(extra.front()) + "\"";
        return "nimbrel: " + what + "; the commands are " + commands + " (see nimbrel --help).";
    }
    CLI::App& sub = *parsed.front();
    const std::string name = "nimbrel " + sub.get_name();
    std::string what;
    if (dynamic_cast<const CLI::RequiredError*>(&error)) {
        for (const CLI::Option* option : sub.get_options())
            if (option->get_required() && option->count() == 0) {
                what = option->get_description();
                what[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(what[0])));
                for (const char* article : {"the ", "an ", "a "})
                    if (what.starts_with(article)) what.erase(0, std::string(article).size());
                what = "give the " + what;
                break;
            }
    }
    if (what.empty()) {
        what = error.what();
        if (!what.empty()) what[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(what[0])));
    }
    return name + ": " + printable(what) + " (see " + name + " --help).";
}
}  // namespace

// Anything a command did not handle ends the program with a message, never
// with an abort.
int main(int argc, char** argv) try {
    CLI::App app{"nimbrel: the files of Korvel braille displays and notetakers.", "nimbrel"};
    app.footer(generalHelp);
    app.set_version_flag("--version", "nimbrel " NIMBREL_VERSION_TEXT);
    app.require_subcommand(1);
    app.fallthrough();

    GlobalOptions options;
    app.add_flag("-v,--verbose", options.verbose, "Show the details of errors");
    app.add_option("-d,--device", options.device, "The device: its port or its remembered name");
    app.add_option("--ports", options.ports, "Ports to scan instead of the default ones");
    addPlatformOptions(app);

    int exitCode = ExitCode::Success;
    auto set = [&exitCode](int code) { exitCode = code; };

    auto* scan = command(app, "scan", "List the connected devices",
                         "  nimbrel scan\n"
                         "  NIMBREL_PORTS=/dev/ttyUSB0:/dev/ttyUSB1 nimbrel scan\n"
#ifndef _WIN32
                         "  nimbrel scan --watch\n"
#endif
    );
#ifndef _WIN32
    bool watch = false;
    scan->add_flag("-w,--watch", watch,
                   "Then tell of devices as they come and go, until Ctrl+C (ports in /dev, or in NIMBREL_PORT_FOLDER)");
    scan->callback([&] { set(watch ? runScanWatch(options) : runScan(options)); });
#else
    scan->callback([&] { set(runScan(options)); });
#endif
    bool humanSizes = false;
    auto* ls = command(app, "ls", "List the files on a device",
                       "  nimbrel ls\n"
                       "  nimbrel --device COM3 ls -h\n");
    // -h is the sizes here, as with ls and df; --help is still the help.
    ls->set_help_flag("--help", "Print this help message and exit");
    ls->add_flag("-h,--human-readable", humanSizes, "Sizes in KiB and MiB");
    ls->callback([&] { set(runList(options, humanSizes)); });
    command(app, "df", "Show the free space on a device",
            "  nimbrel df\n"
            "  nimbrel --device \"Corvia 80\" df\n")
        ->callback([&] { set(runFreeSpace(options)); });

    std::vector<std::string> getFiles;
    GetOptions getOptions;
    bool getOverwrite = false, getKeep = false;
    auto* get = command(app, "get", "Copy files from the device to this computer",
                        "  nimbrel get LETTER.TXT\n"
                        "  nimbrel --device COM3 get LETTER.TXT NOTES.BRF -o Documents\n"
                        "  nimbrel get letter.txt -o Documents/anna.txt\n"
                        "  nimbrel get '*.BRF' -o Books\n"
                        "  nimbrel get --all --no-overwrite -o Backup\n");
    get->add_option("files", getFiles, "Names of files on the device, or patterns such as '*.TXT'");
    get->add_flag("--all", getOptions.all, "Copy every file on the device");
    get->add_option("-o,--output", getOptions.target, "Folder to copy them into (default: here), or a file name");
    auto* getOverwriteFlag = get->add_flag("--overwrite", getOverwrite, "Replace files that exist here");
    get->add_flag("--no-overwrite", getKeep, "Never replace files that exist here")->excludes(getOverwriteFlag);
    get->callback([&] {
        if (getFiles.empty() && !getOptions.all)
            throw CLI::ValidationError("give the names of files on the device, or --all");
        getOptions.overwrite = choiceFrom(getOverwrite, getKeep);
        set(runGet(options, getFiles, getOptions));
    });

    std::vector<std::string> putFiles;
    std::string putName;
    bool putOverwrite = false, putKeep = false;
    auto* put = command(app, "put", "Copy files from this computer to the device",
                        "  nimbrel put report.brf\n"
                        "  nimbrel --device \"Corvia 80\" put --overwrite *.brf\n");
    put->add_option("files", putFiles, "Local files")->required();
    put->add_option("--as", putName, "Name on the device (for a single file)");
    auto* overwriteFlag = put->add_flag("--overwrite", putOverwrite, "Replace files that exist on the device");
    put->add_flag("--no-overwrite", putKeep, "Never replace files that exist on the device")->excludes(overwriteFlag);
    put->callback([&] {
        if (!putName.empty() && putFiles.size() != 1) throw CLI::ValidationError("--as takes a single file");
        set(runPut(options, putFiles, putName, choiceFrom(putOverwrite, putKeep)));
    });

    std::vector<std::string> rmFiles;
    bool rmForce = false;
    auto* rm = command(app, "rm", "Delete files on the device",
                       "  nimbrel rm DRAFT.TXT\n"
                       "  nimbrel --device COM3 rm DRAFT.TXT OLD.TXT\n");
    rm->add_option("files", rmFiles, "Names of files on the device")->required();
    rm->add_flag("-f,--force", rmForce, "Also delete system files (.NSF)");
    rm->callback([&] { set(runRemove(options, rmFiles, rmForce)); });

    std::string mvOld, mvNew;
    bool mvForce = false;
    auto* mv = command(app, "mv", "Rename a file on the device",
                       "  nimbrel mv OLD.TXT NEW.TXT\n"
                       "  nimbrel --device COM3 mv REPORT.TXT \"REPORT Q3.TXT\"\n");
    mv->add_option("old", mvOld, "Current name")->required();
    mv->add_option("new", mvNew, "New name (at most 64 characters)")->required();
    mv->add_flag("-f,--force", mvForce, "Also rename system files (.NSF)");
    mv->callback([&] { set(runRename(options, mvOld, mvNew, mvForce)); });

    std::string newDeviceName;
    auto* name = command(app, "name", "Show or change the name a device is remembered by",
                         "  nimbrel name\n"
                         "  nimbrel --device COM3 name \"Kitchen Corvia\"\n");
    name->add_option("new-name", newDeviceName, "New name (at most 64 characters)");
    name->callback([&] { set(runName(options, newDeviceName)); });

    command(app, "monitor", "Print the device's text lines until interrupted (Ctrl+C)",
            "  nimbrel monitor\n"
            "  nimbrel --device COM3 monitor\n")
        ->callback([&] { set(runMonitor(options)); });

    std::string tableFile, tableName;
    std::uint32_t tableSlot = 0;
    bool tableBackward = false;
    auto* table = command(app, "table", "Load a braille table (256 bytes) into a slot",
                          "  nimbrel table german.tbl 3\n"
                          "  nimbrel --device COM3 table --name GERMAN --backward german.tbl 3\n");
    table->add_option("file", tableFile, "The table file")->required();
    table->add_option("slot", tableSlot, "Slot number (1 to 9)")
        ->required()
        ->check(CLI::Validator(
            [](const std::string& text) {
                return text.size() == 1 && text[0] >= '1' && text[0] <= '9'
                           ? std::string()
                           : "braille table slots are numbered 1 to 9, not " + printable(text);
            },
            "1-9"));
    table->add_flag("--backward", tableBackward, "Ask for backward search");
    table->add_option("--name", tableName, "Name of the table on the device");
    table->callback([&] { set(runTable(options, tableFile, tableSlot, tableBackward, tableName)); });

    addMountCommand([&app](const std::string& name, const std::string& description,
                           const std::string& examples) { return command(app, name, description, examples); },
                    options, set);

    installInterruptHandling();
    try {
        // CLI11 takes the arguments after the program's name, the last one first.
        std::vector<std::string> arguments = commandLineArguments(argc, argv);
        std::reverse(arguments.begin(), arguments.end());
        if (!arguments.empty()) arguments.pop_back();
        app.parse(arguments);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return app.exit(error);
        std::fprintf(stderr, "%s\n", usageProblem(app, error).c_str());
        return ExitCode::Usage;
    }
    return exitCode;
} catch (const std::exception& error) {
    std::fprintf(stderr, "nimbrel: %s\n", error.what());
    return ExitCode::Failure;
} catch (...) {
    std::fprintf(stderr, "nimbrel: unexpected failure\n");
    return ExitCode::Failure;
}
