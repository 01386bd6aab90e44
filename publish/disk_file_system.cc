// The file system through std::filesystem, which speaks both hosts' paths;
// every call takes an error_code, so nothing throws.
#include <algorithm>
#include <fstream>
#include <system_error>

#include "base/sha256.h"
#include "lists/block_index.h"
#include "publish/gzip_body.h"
#include "publish/file_system.h"
#include "publish/native_path.h"
#include "base/utf8.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kChunk = 64 * 1024;

// The path's parts below root, "/" between them; empty when a part is not text.
std::optional<std::u16string> RelativeName(const fs::path& path, const fs::path& root) {
  std::u16string name;
  for (const fs::path& part : path.lexically_relative(root)) {
    const std::optional<std::u16string> text = FromNativePath(part);
    if (!text) return std::nullopt;
    if (!name.empty()) name += u'/';
    name += *text;
  }
  return name;
}

std::string Shown(const fs::path& path) {
  const std::optional<std::u16string> text = FromNativePath(path);
  return text ? ToUtf8(*text) : path.string();
}

bool MakeParent(const fs::path& path) {
  if (!path.has_parent_path()) return true;
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  return !error;
}

fs::path Canonical(const std::u16string& path) {
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(ToNativePath(path), error);
  return error ? fs::absolute(ToNativePath(path), error).lexically_normal() : canonical;
}

// The identities of the path (when it exists) and of every folder above it
// as the file system leads there.
std::vector<FileIdentity> IdentityChainOf(const std::u16string& path) {
  std::vector<FileIdentity> chain;
  for (fs::path at = ResolvedPath(ToNativePath(path));; at = at.parent_path()) {
    if (const std::optional<FileIdentity> identity = IdentityOf(at)) chain.push_back(*identity);
    if (!at.has_relative_path()) return chain;
  }
}

bool InsideByIdentity(const std::u16string& inner, const std::u16string& outer) {
  const std::optional<FileIdentity> folder = IdentityOf(ToNativePath(outer));
  if (!folder) return false;
  const std::vector<FileIdentity> chain = IdentityChainOf(inner);
  return std::find(chain.begin(), chain.end(), *folder) != chain.end();
}

class DiskOpenedFile : public OpenedFile {
 public:
  explicit DiskOpenedFile(HeldFile held) : held_(std::move(held)) {}
  FileIdentity Identity() const override { return held_.identity; }

  FileRead Read(const std::optional<std::u16string>& copyTo,
                std::optional<uint64_t> indexSize) override {
    std::ofstream copy;
    if (copyTo) {
      const fs::path target = ToNativePath(*copyTo);
      if (MakeParent(target)) copy.open(target, std::ios::binary | std::ios::trunc);
    }
    if (!held_.file->Rewind()) return {};
    Sha256Hasher hasher;
    std::optional<BlockIndexBuilder> index;
    if (indexSize) index.emplace(*indexSize);
    std::string chunk(kChunk, '\0');
    for (;;) {
      const std::optional<size_t> read = held_.file->ReadSome(chunk.data(), chunk.size());
      if (!read || (*read > 0 && !hasher.Add(std::string_view(chunk.data(), *read)))) return {};
      if (*read == 0) break;
      if (index) index->Add(std::string_view(chunk.data(), *read));
      if (copyTo) copy.write(chunk.data(), static_cast<std::streamsize>(*read));
    }
    if (copyTo) copy.close();
    FileRead done{hasher.Finish(), copyTo && copy.good(), std::string()};
    if (index) {
      const std::optional<BlockIndex> built = index->Finish(done.digest);
      if (built) done.blockIndex = FormatBlockIndex(*built);
    }
    return done;
  }

 private:
  HeldFile held_;
};

}  // namespace

PathKind DiskFileSystem::KindOf(const std::u16string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(ToNativePath(path), error);
  if (status.type() == fs::file_type::not_found) return PathKind::kMissing;
  if (error) return PathKind::kOther;
  if (fs::is_regular_file(status)) return PathKind::kFile;
  return fs::is_directory(status) ? PathKind::kFolder : PathKind::kOther;
}

std::vector<FoundFile> DiskFileSystem::ListFiles(const std::u16string& folder,
                                                 std::vector<std::string>& problems) {
  std::vector<FoundFile> files;
  const fs::path root = ToNativePath(folder);
  std::error_code error;
  fs::recursive_directory_iterator entry(root, error);
  for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
    // A link would publish what it leads to (a private key, a system file);
    // one to a folder is neither entered nor skipped in silence.
    if (IsLinkOrReparsePoint(entry->path())) {
      entry.disable_recursion_pending();
      problems.push_back(Shown(entry->path()) + ": " + kLinkProblem);
      continue;
    }
    std::error_code kindError;
    if (entry->is_directory(kindError)) continue;
    const std::optional<std::u16string> name = RelativeName(entry->path(), root);
    if (!name) {
      problems.push_back(Shown(entry->path()) + ": the name is not UTF-8 text");
      continue;
    }
    const bool regular = entry->is_regular_file(kindError);
    std::error_code sizeError;
    const uint64_t size = regular ? entry->file_size(sizeError) : 0;
    if (!regular || sizeError) {
      problems.push_back(ToUtf8(*name) + ": " + kNotAFileProblem);
      continue;
    }
    files.push_back({*name, size});
  }
  if (error) problems.push_back(Shown(root) + ": cannot read the folder (" + error.message() + ")");
  std::sort(files.begin(), files.end(),
            [](const FoundFile& a, const FoundFile& b) { return a.name < b.name; });
  return files;
}

std::unique_ptr<OpenedFile> DiskFileSystem::OpenReleaseFile(const std::u16string& folder,
                                                             const std::u16string& name,
                                                             std::string& problem) {
  std::vector<fs::path> parts;
  for (size_t start = 0, end = 0; end != std::u16string::npos; start = end + 1) {
    end = name.find(u'/', start);
    parts.push_back(ToNativePath(name.substr(start, end - start)));
  }
  HeldFile held = OpenRegularFileBelow(ToNativePath(folder), parts);
  if (!held.file) {
    problem = held.problem;
    return nullptr;
  }
  return std::make_unique<DiskOpenedFile>(std::move(held));
}

bool DiskFileSystem::Overlap(const std::u16string& a, const std::u16string& b) {
  const fs::path first = Canonical(a);
  const fs::path second = Canonical(b);
  auto inside = [](const fs::path& outer, const fs::path& inner) {
    auto o = outer.begin();
    auto i = inner.begin();
    for (; o != outer.end() && !o->empty(); ++o, ++i) {
      if (i == inner.end() || *o != *i) return false;
    }
    return true;
  };
  return inside(first, second) || inside(second, first) || InsideByIdentity(a, b) ||
         InsideByIdentity(b, a);
}

bool DiskFileSystem::SameFolder(const std::u16string& a, const std::u16string& b) {
  std::error_code error;
  return fs::equivalent(ToNativePath(a), ToNativePath(b), error) && !error;
}

std::optional<std::string> DiskFileSystem::ReadFile(const std::u16string& path) {
  std::ifstream file(ToNativePath(path), std::ios::binary);
  if (!file) return std::nullopt;
  std::string bytes;
  std::string chunk(kChunk, '\0');
  while (file.read(chunk.data(), chunk.size()) || file.gcount() > 0) {
    bytes.append(chunk, 0, static_cast<size_t>(file.gcount()));
  }
  if (file.bad()) return std::nullopt;
  return bytes;
}

std::string DiskFileSystem::DigestOf(const std::u16string& path) {
  const auto native = ToNativePath(path).native();
  return Sha256OfFile(FilePathText(native.begin(), native.end()));
}

std::optional<FileIdentity> DiskFileSystem::IdentityOf(const std::u16string& path) {
  return ::IdentityOf(ToNativePath(path));
}

bool DiskFileSystem::OthersMayAccess(const std::u16string& path) {
  return ::OthersMayAccess(ToNativePath(path));
}

bool DiskFileSystem::CopyFile(const std::u16string& from, const std::u16string& to) {
  const fs::path target = ToNativePath(to);
  std::error_code error;
  return MakeParent(target) &&
         fs::copy_file(ToNativePath(from), target, fs::copy_options::overwrite_existing, error) &&
         !error;
}

bool DiskFileSystem::WriteFile(const std::u16string& path, const std::string& bytes) {
  const fs::path target = ToNativePath(path);
  if (!MakeParent(target)) return false;
  std::ofstream file(target, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}

bool DiskFileSystem::WriteNewPrivateFile(const std::u16string& path, const std::string& bytes) {
  const fs::path target = ToNativePath(path);
  return MakeParent(target) && WriteNewOwnerOnlyFile(target, bytes);
}

bool DiskFileSystem::Move(const std::u16string& from, const std::u16string& to) {
  const fs::path target = ToNativePath(to);
  std::error_code error;
  if (!MakeParent(target)) return false;
  fs::rename(ToNativePath(from), target, error);
  return !error;
}

bool DiskFileSystem::RemoveAll(const std::u16string& path) {
  std::error_code error;
  fs::remove_all(ToNativePath(path), error);
  return !error;
}

std::optional<uint64_t> DiskFileSystem::WriteGzipOf(const std::u16string& from,
                                                    const std::u16string& to) {
  const fs::path target = ToNativePath(to);
  if (!MakeParent(target)) return std::nullopt;
  std::ifstream in(ToNativePath(from), std::ios::binary);
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!in || !out || !WriteGzip(in, out)) return std::nullopt;
  out.close();
  std::error_code error;
  const uint64_t size = fs::file_size(target, error);
  if (out.fail() || error) return std::nullopt;
  return size;
}

bool DiskFileSystem::GzipFits(const std::u16string& gz, const std::u16string& plain) {
  std::ifstream compressed(ToNativePath(gz), std::ios::binary);
  std::ifstream original(ToNativePath(plain), std::ios::binary);
  return compressed && original && GzipDecodesTo(compressed, original);
}
