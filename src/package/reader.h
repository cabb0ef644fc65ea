// TGFileInfo: typed, read-only access to one package file's trailer, its
// header blocks (language, configuration, download) and its language texts.
// It never changes the file. A missing, foreign or damaged file gives an
// empty (or, when damage follows good blocks, partial) reader; construction
// never fails and never allocates more than the file can justify.
#pragma once

#include <cstdint>
#include <string>

#include "package/layout.h"

// Bytes per cluster of the drive named by the first three characters of
// the path ("C:\"); 0 when the system cannot tell. Per platform.
uint32_t ClusterSize(const std::string& path);

class TGFileInfo {
 public:
  TGFileInfo() = default;
  explicit TGFileInfo(const std::string& path);
  explicit TGFileInfo(pkg::ByteSource& file) { Load(file); }

  // --- what was read
  const pkg::Trailer& Trailer() const { return trailer_; }
  bool HasPackage() const { return trailer_.HasMagic(); }
  // Why the header blocks could not be read whole; empty when they could.
  const std::string& Damage() const { return damage_; }
  const std::string& LanguageText() const { return language_; }
  const std::string& ConfigText() const { return config_; }
  const std::string& DownloadText() const { return download_; }

  // --- trailer
  double RequiredSpace(const std::string& folder) const { return RequiredSpaceFor(ClusterSize(folder)); }
  double RequiredSpaceFor(uint32_t clusterSize) const;
  bool ConfirmExtraction() const { return trailer_.Option(pkg::kOptConfirmExtraction); }
  bool Continues() const { return trailer_.Option(pkg::kOptContinues); }
  bool RelaunchFromTempCopy() const { return trailer_.Option(pkg::kOptRelaunchFromTemp); }
  bool ShowActivityBar() const { return trailer_.Option(pkg::kOptShowActivityBar); }
  bool AgentTraceOn() const { return trailer_.Option(pkg::kOptAgentTrace); }
  bool IsWebStub() const { return trailer_.webStub != 0; }
  bool ConfirmDownload() const { return trailer_.confirmDownload != 0; }
  bool InstallsAgent() const { return trailer_.installsAgent != 0; }
  bool IsAgent() const { return trailer_.isAgent != 0; }

  // --- configuration block
  std::string UpdateUrl() const;
  std::string InfoFileName() const;
  std::string OriginalFileName() const;
  std::string AgentFileName() const;
  // The stored token, or (decode) its plain text; a token that does not
  // decode gives the empty text and sets *ok false.
  std::string UpdateToken(bool decode, bool* ok = nullptr) const;
  bool RunHidden() const;

  // --- download block
  std::string WebUrl() const;
  std::string WebFileName() const;
  bool AlwaysDownload() const;
  std::string WebToken(bool decode, bool* ok = nullptr) const;
  std::string WebSizeText() const;
  // Both web tokens decode and are equal byte for byte.
  bool SameWebToken(const TGFileInfo& other) const;
  // A file fetched by the agent comes from the same product: kind 2, a
  // setup package whose update token matches ours; kind 3, an inform text
  // whose token matches ours. Any other kind: false.
  bool CheckDownloadedToken(const std::string& path, int kind) const;

  // --- language texts
  std::string Text(const std::string& key, const std::string& def) const;
  int Charset() const;
  int FontSize() const;
  std::string FontName() const;

 private:
  void Load(pkg::ByteSource& file);

  pkg::Trailer trailer_;
  std::string language_;
  std::string config_;
  std::string download_;
  std::string damage_;
};

// The file-name part of a path: the text after its last "\" or ":".
std::string FileNamePart(const std::string& path);
