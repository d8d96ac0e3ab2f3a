# Homebrew formula for a tap: copy this file into the tap's repository as
# Formula/ramdisk.rb, then
#
#   brew tap OWNER/ramdisk
#   brew install ramdisk
#
# Each release sets url and sha256 (HACKING.md, "Cutting a release").
class Ramdisk < Formula
  desc "Create and remove RAM disks from the command line"
  homepage "https://github.com/OWNER/ramdisk"
  url "https://github.com/OWNER/ramdisk/archive/refs/tags/v1.0.0.tar.gz"
  sha256 "0000000000000000000000000000000000000000000000000000000000000000"

  depends_on "cmake" => :build
  depends_on :macos

  def install
    # The release preset's settings: optimised, the tool alone, so that
    # nothing looks for GoogleTest. libxml2 is the system's.
    system "cmake", "-S", ".", "-B", "build",
           "-DCMAKE_BUILD_TYPE=Release", "-DRAMDISK_BUILD_TESTS=OFF", *std_cmake_args
    system "cmake", "--build", "build", "--target", "ramdisk"
    system "cmake", "--install", "build", "--strip"
  end

  test do
    # A size the tool refuses before it runs any disk tool: no disk is made.
    output = shell_output("#{bin}/ramdisk -add:brew-test -size:0", 2)
    assert_equal "General error: Incorrect size specified\n", output
    assert_path_exists man1/"ramdisk.1"
  end
end
