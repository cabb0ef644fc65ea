#include "commands.h"

#include <random>

#include "fsutil.h"
#include "inspect.h"
#include "manifest.h"
#include "package/layout.h"
#include "util/scramble.h"
#include "util/text.h"
#include "writer.h"

namespace stubpack {

namespace {

constexpr uint64_t kMaxTextFile = 64u << 20;  // inform files are small texts

struct Io {
  std::string* out;
  std::string* err;
  void Error(const std::string& what) { *err += "stubpack: " + what + "\n"; }
  void Warning(const std::string& what) { *err += "stubpack: warning: " + what + "\n"; }
  int Usage(const std::string& what) {
    Error(what + " (see stubpack --help)");
    return kExitUsage;
  }
};

std::string Num(uint64_t v) { return ThousandsText(std::to_string(v)); }

bool IsHelp(const std::string& a) { return a == "-h" || a == "--help" || a == "help"; }

int Build(const std::vector<std::string>& args, Io& io) {
  std::string manifest;
  Definitions defs;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string def;
    if (a == "-D" || a == "--define") {
      if (i + 1 >= args.size()) return io.Usage(a + " needs NAME=VALUE");
      def = args[++i];
    } else if (a.compare(0, 2, "-D") == 0) {
      def = a.substr(2);
    } else if (!a.empty() && a[0] == '-') {
      return io.Usage("build: unknown option " + a);
    } else if (manifest.empty()) {
      manifest = a;
      continue;
    } else {
      return io.Usage("build takes one manifest, found a second: " + a);
    }
    size_t eq = def.find('=');
    std::string name = def.substr(0, eq);
    bool good = eq != std::string::npos && !name.empty();
    for (char c : name)
      good = good && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_');
    if (!good) return io.Usage("-D needs NAME=VALUE (NAME of letters, digits and _), not \"" + def + "\"");
    defs[name] = def.substr(eq + 1);
  }
  if (manifest.empty()) return io.Usage("build needs a manifest: stubpack build MANIFEST [-D NAME=VALUE]...");

  PackageDef def;
  std::string error;
  if (!ParseManifest(manifest, defs, &def, &error)) {
    io.Error(error);
    return kExitFailure;
  }
  BuildReport report;
  bool ok = BuildPackage(def, &report, &error);
  for (const std::string& w : report.warnings) io.Warning(w);
  if (!ok) {
    io.Error(manifest + ": " + error);
    return kExitFailure;
  }
  for (const WrittenFile& w : report.files) {
    std::string sum = w.checksum == pkg::kChecksumOff ? "checksum off (1234)" : "checksum " + std::to_string(w.checksum);
    *io.out += "wrote " + w.path + " (" + Num(w.size) + " bytes, " + Num(w.records) + " record" +
               (w.records == 1 ? "" : "s") + ", " + sum + (w.continues ? ", continues" : "") + ")\n";
  }
  *io.out += "space needed: " + Num(report.space[0]) + " bytes (" + Num(report.space[4]) + " on 4 KiB clusters)\n";
  return kExitOk;
}

int Inspect(const std::vector<std::string>& args, Io& io) {
  InspectOptions options;
  std::string path;
  bool quiet = false;
  for (const std::string& a : args) {
    if (a == "--single") {
      options.followParts = false;
    } else if (a == "-q" || a == "--quiet") {
      quiet = true;
    } else if (!a.empty() && a[0] == '-') {
      return io.Usage("inspect: unknown option " + a);
    } else if (path.empty()) {
      path = a;
    } else {
      return io.Usage("inspect takes one file, found a second: " + a);
    }
  }
  if (path.empty()) return io.Usage("inspect needs a file: stubpack inspect FILE");
  std::string report;
  InspectResult r = InspectPackage(path, options, &report);
  if (!quiet) *io.out += report;
  for (const std::string& w : r.warnings) io.Warning(w);
  if (r.filesInspected == 0) {
    io.Error("cannot open " + path + " (missing, not a regular file, or not readable)");
    return kExitFailure;
  }
  if (!r.Sound()) {
    for (const std::string& p : r.problems) io.Error("damage: " + p);
    io.Error(path + " is damaged (" + std::to_string(r.problems.size()) + " problem" +
             (r.problems.size() == 1 ? "" : "s") + "); rebuild it or fetch an intact copy");
    return kExitFailure;
  }
  *io.out += "Verdict: sound (" + std::to_string(r.filesInspected) + " file" + (r.filesInspected == 1 ? "" : "s") +
             " inspected)\n";
  return kExitOk;
}

uint32_t RandomSeed() {
  std::random_device rd;
  return uint32_t(rd()) | 1u;
}

int Token(const std::vector<std::string>& args, Io& io) {
  if (args.empty()) return io.Usage("token needs encode TEXT or decode STORED");
  const std::string& what = args[0];
  if (what == "encode") {
    std::string text;
    bool haveText = false;
    uint32_t seed = 0;
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--seed") {
        int64_t v = 0;
        if (i + 1 >= args.size() || !TextToInt64(args[i + 1], &v) || v < 1 || v > int64_t(UINT32_MAX))
          return io.Usage("--seed needs a number from 1 to 4294967295");
        seed = uint32_t(v);
        ++i;
      } else if (!haveText) {
        text = args[i];
        haveText = true;
      } else {
        return io.Usage("token encode takes one TEXT (quote it when it holds spaces)");
      }
    }
    if (!haveText) return io.Usage("token encode needs the plain TEXT");
    *io.out += pkg::EncodeToken(text, seed ? seed : RandomSeed()) + "\n";
    return kExitOk;
  }
  if (what == "decode") {
    if (args.size() != 2) return io.Usage("token decode needs exactly one STORED token");
    bool ok = false;
    std::string plain = pkg::DecodeToken(args[1], &ok);
    if (!ok) {
      io.Error("the token does not decode (it is damaged, or not a stored token)");
      return kExitFailure;
    }
    *io.out += plain + "\n";
    return kExitOk;
  }
  return io.Usage("token: unknown action " + what + " (encode or decode)");
}

// FILE [-o OUT] and the options a text command shares.
struct TextArgs {
  std::string input;
  std::string output;
  std::vector<std::string> rest;
};

bool ParseTextArgs(const std::vector<std::string>& args, const char* command, size_t positional, TextArgs* t,
                   std::vector<std::string>* extraOptions, Io& io, int* rc) {
  std::vector<std::string> pos;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-o" || a == "--output") {
      if (i + 1 >= args.size()) {
        *rc = io.Usage(std::string(command) + ": -o needs a file name");
        return false;
      }
      t->output = args[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      extraOptions->push_back(a);
      if (a == "--key" && i + 1 < args.size()) extraOptions->push_back(args[++i]);
    } else {
      pos.push_back(a);
    }
  }
  if (pos.size() != positional) {
    *rc = io.Usage(std::string(command) + " needs " + std::to_string(positional) + " argument" +
                   (positional == 1 ? "" : "s") + ", found " + std::to_string(pos.size()));
    return false;
  }
  t->input = pos.back();
  t->rest.assign(pos.begin(), pos.end() - 1);
  return true;
}

int Emit(const std::string& data, const std::string& output, Io& io) {
  if (output.empty() || output == "-") {
    *io.out += data;
    return kExitOk;
  }
  std::string error;
  if (!WriteWholeFile(output, data, &error)) {
    io.Error(error);
    return kExitFailure;
  }
  return kExitOk;
}

int Scramble(const std::vector<std::string>& args, bool scramble, Io& io) {
  const char* cmd = scramble ? "scramble" : "unscramble";
  TextArgs t;
  std::vector<std::string> opts;
  int rc = 0;
  if (!ParseTextArgs(args, cmd, 1, &t, &opts, io, &rc)) return rc;
  int key = 0;
  for (size_t i = 0; i < opts.size(); ++i) {
    int64_t v = 0;
    if (scramble && opts[i] == "--key" && i + 1 < opts.size() && TextToInt64(opts[i + 1], &v) && v >= 33 && v <= 122) {
      key = int(v);
      ++i;
    } else {
      return io.Usage(std::string(cmd) + ": unknown option " + opts[i] + (scramble ? " (--key takes 33 to 122)" : ""));
    }
  }
  std::string text, error;
  if (!ReadWholeFile(t.input, &text, &error, kMaxTextFile)) {
    io.Error(error);
    return kExitFailure;
  }
  bool marked = text.compare(0, 12, "Scrambled=01") == 0;
  if (scramble && marked) io.Warning(t.input + " is already scrambled; written unchanged");
  if (!scramble && !marked) io.Warning(t.input + " is not scrambled (no Scrambled=01 marker); written unchanged");
  if (scramble && text.empty()) io.Warning(t.input + " is empty; written unchanged");
  std::string result = scramble ? (key ? ScrambleTextWithKey(text, key) : ScrambleText(text, true))
                                : ScrambleText(text, false);
  return Emit(result, t.output, io);
}

int Inform(const std::vector<std::string>& args, Io& io) {
  TextArgs t;
  std::vector<std::string> opts;
  int rc = 0;
  if (!ParseTextArgs(args, "inform", 2, &t, &opts, io, &rc)) return rc;
  bool plain = false;
  for (const std::string& o : opts) {
    if (o == "--plain")
      plain = true;
    else
      return io.Usage("inform: unknown option " + o);
  }
  std::string text, error;
  if (!ReadWholeFile(t.input, &text, &error, kMaxTextFile)) {
    io.Error(error);
    return kExitFailure;
  }
  // The agent reads: anything | token | (ignored) | (ignored) | the text.
  std::string body = "Inform|" + StoredToken(t.rest[0], "inform") + "|||" + text;
  return Emit(plain ? body : ScrambleText(body, true), t.output, io);
}

}  // namespace

std::string HelpText() {
  return "stubpack: builds and inspects the packages of the Stub launcher.\n"
         "\n"
         "usage:\n"
         "  stubpack build MANIFEST [-D NAME=VALUE]...\n"
         "      Writes the package the manifest describes onto a copy of stub.exe (and, for a\n"
         "      spanned package, its part files). ${NAME} in manifest values comes from -D, then\n"
         "      from the environment. Relative paths are relative to the manifest's folder.\n"
         "  stubpack inspect [--single] [-q] FILE\n"
         "      Prints the trailer, space table, header blocks and records of a package file and\n"
         "      verifies it (checksum, every record inflates, safe names, launch record first,\n"
         "      lengths inside the file). Follows a spanned package into its further parts\n"
         "      unless --single is given. -q prints the verdict only.\n"
         "  stubpack token encode TEXT [--seed N]\n"
         "  stubpack token decode STORED\n"
         "      Converts a package token between plain text and its stored form.\n"
         "  stubpack scramble FILE [-o OUT] [--key K]\n"
         "  stubpack unscramble FILE [-o OUT]\n"
         "      Scrambles a text (inform file) behind the marker Scrambled=01, or undoes it.\n"
         "      Without -o the result goes to standard output.\n"
         "  stubpack inform TOKEN TEXTFILE [-o OUT] [--plain]\n"
         "      Makes an inform file: the release token (plain text, stored encoded) and the\n"
         "      text to show, scrambled unless --plain is given.\n"
         "  stubpack --help | --version\n"
         "\n"
         "exit codes: 0 success (a sound package), 1 failure or damage found, 2 wrong command line.\n"
         "The manifest format is described in docs/stubpack.md.\n";
}

int RunStubpack(const std::vector<std::string>& args, std::string* out, std::string* err) {
  Io io{out, err};
  if (args.empty()) return io.Usage("no command given");
  const std::string& cmd = args[0];
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (IsHelp(cmd)) {
    *out += HelpText();
    return kExitOk;
  }
  if (cmd == "--version") {
    *out += "stubpack 1.0\n";
    return kExitOk;
  }
  for (const std::string& a : rest) {
    if (a == "-h" || a == "--help") {
      *out += HelpText();
      return kExitOk;
    }
  }
  if (cmd == "build") return Build(rest, io);
  if (cmd == "inspect") return Inspect(rest, io);
  if (cmd == "token") return Token(rest, io);
  if (cmd == "scramble") return Scramble(rest, true, io);
  if (cmd == "unscramble") return Scramble(rest, false, io);
  if (cmd == "inform") return Inform(rest, io);
  return io.Usage("unknown command " + cmd);
}

}  // namespace stubpack
