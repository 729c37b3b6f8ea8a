#pragma once

// Names that come from the product. They are fixed, not configurable.
namespace product {
constexpr char kExecutableName[] = "\\Corvanta.exe";
constexpr char kFolderName[] = "\\Corvanta";
constexpr char kHelpFile[] = "\\Help\\Corvanta.chm";
constexpr char kSetupName[] = "Corvanta Web Setup";  // user agent and the setup's firewall rule
constexpr char kRegistryKey[] = "Software\\CorvantaWebSetup";
constexpr char kDownloadPath[] = "/installs/cvn/";
constexpr char kDefaultParentFolder[] = "C:\\Program Files (x86)";
constexpr char kDefaultInstallDir[] = "C:\\Program Files (x86)\\Corvanta";
}  // namespace product
