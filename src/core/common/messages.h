#ifndef RAMDISK_CORE_COMMON_MESSAGES_H_
#define RAMDISK_CORE_COMMON_MESSAGES_H_

// Every message of ours that the tool can print after "General error: ",
// in one place: the manual page lists each under DIAGNOSTICS, and a test
// holds the two together. A "%s" is filled by FormatMessage; a number that
// is one of our constants is written out, and a static_assert where the
// message is raised ties it to the constant. A failed tool's own first
// line of standard error, and the reasons that libxml2 gives, are not ours.

namespace ramdisk::messages {

// The command line (EInputError).
inline constexpr char kNoValidCommand[] = "No valid command given";
inline constexpr char kNoMountPoint[] = "No mount point given";
inline constexpr char kInvalidMountPoint[] = "Invalid mount point string: %s";
inline constexpr char kMountPointInUse[] = "Mount point %s is already in use";
inline constexpr char kNoVolumesNamed[] = "No volumes named %s found";
inline constexpr char kNoRamDisk[] = "No RAM disk %s found";
inline constexpr char kNotRamDisk[] = "Volume %s is not a RAM disk";
inline constexpr char kSizeNotGiven[] = "Size is not given";
inline constexpr char kIncorrectSize[] = "Incorrect size specified";
inline constexpr char kMemoryUnreadable[] = "Cannot read the physical memory size";
inline constexpr char kSizeExceedsMemory[] = "Size exceeds physical memory of %s";
inline constexpr char kInvalidFileSystem[] = "Invalid file system: %s";
inline constexpr char kNotAbsolutePath[] = "Mount point %s is not an absolute path";
inline constexpr char kMountPointMissing[] = "Mount point %s does not exist";
inline constexpr char kMountPointNotEmpty[] = "Mount point %s is not an empty directory";
inline constexpr char kInvalidFolder[] = "Invalid folder string: %s";
inline constexpr char kFolderNotAbsolute[] = "Folder %s is not an absolute path";
inline constexpr char kNotAFolder[] = "Folder %s is not a directory";
inline constexpr char kFolderParentMissing[] = "Folder %s does not exist, nor does its parent";
inline constexpr char kFolderOnRamDisk[] = "Folder %s lies on a RAM disk";
inline constexpr char kNoKeepFolder[] = "Volume %s has no folder to keep its contents";

// Placing a new volume (EVolumeError).
inline constexpr char kMarkerNotWritten[] = "Cannot write %s: %s";
inline constexpr char kNoDeviceMountedAt[] = "No device is mounted at %s";
inline constexpr char kNotMountedAt[] = "Volume was not mounted at %s";

// Keeping a volume's contents in a folder (EKeepError): the step that
// failed ("lock", "read", "create", "write", "flush", "rename", "remove",
// "replace"), the path and the system's reason.
inline constexpr char kFolderBeingSaved[] = "Folder %s is being saved";
inline constexpr char kFolderStepFailed[] = "Cannot %s %s: %s";

// Running a tool (EProcess).
inline constexpr char kExecutableNotFound[] = "Executable not found: \"%s\"";
inline constexpr char kEmptyCommandLine[] = "Cannot execute empty command-line";
inline constexpr char kCreatePipesFailed[] = "Failed to create pipes";
inline constexpr char kForkFailed[] = "Failed to Fork process";
inline constexpr char kReadToolOutputFailed[] = "Failed to read tool output";
inline constexpr char kToolOutputTooLarge[] = "Output of \"%s\" exceeds 16 MiB";

// Reading its property list (EXMLReadError, EVolumeError): line, position
// and libxml2's reason.
inline constexpr char kXmlReadError[] = "In 'stream:' (line %s pos %s): %s";
inline constexpr char kEntityExpansionTooLarge[] =
    "In 'stream:': Entity references expand to more than 16777216 bytes";
inline constexpr char kMarkupBeyondBounds[] =
    "In 'stream:': Markup exceeds the bounds of a property list";
inline constexpr char kUnexpectedXmlOutput[] = "Unexpected XML output";

// The version block of the banner (Exception, EVersionInfoError).
inline constexpr char kResourceNotFound[] = "Resource \"1\" not found";
inline constexpr char kStreamReadError[] = "Stream read error";
inline constexpr char kListIndexOutOfBounds[] = "List index (0) out of bounds";

// Standard output and memory.
inline constexpr char kDiskFull[] = "Disk Full";
inline constexpr char kOutOfMemory[] = "Out of memory";

inline constexpr const char* kAll[] = {kNoValidCommand,       kNoMountPoint,
                                       kInvalidMountPoint,    kMountPointInUse,
                                       kNoVolumesNamed,       kNoRamDisk,
                                       kNotRamDisk,           kSizeNotGiven,
                                       kIncorrectSize,        kMemoryUnreadable,
                                       kSizeExceedsMemory,    kInvalidFileSystem,
                                       kNotAbsolutePath,      kMountPointMissing,
                                       kMountPointNotEmpty,   kMarkerNotWritten,
                                       kNoDeviceMountedAt,    kNotMountedAt,
                                       kInvalidFolder,        kFolderNotAbsolute,
                                       kNotAFolder,           kFolderParentMissing,
                                       kFolderOnRamDisk,      kNoKeepFolder,
                                       kFolderBeingSaved,     kFolderStepFailed,
                                       kExecutableNotFound,   kEmptyCommandLine,
                                       kCreatePipesFailed,    kForkFailed,
                                       kReadToolOutputFailed, kToolOutputTooLarge,
                                       kXmlReadError,         kEntityExpansionTooLarge,
                                       kMarkupBeyondBounds,   kUnexpectedXmlOutput,
                                       kResourceNotFound,     kStreamReadError,
                                       kListIndexOutOfBounds, kDiskFull,
                                       kOutOfMemory};

}  // namespace ramdisk::messages

#endif  // RAMDISK_CORE_COMMON_MESSAGES_H_
