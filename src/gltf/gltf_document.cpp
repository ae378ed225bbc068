#include "gltf/gltf_document.h"

#include <nlohmann/json.hpp>
#include <tiny_gltf.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <exception>
#include <optional>

#include "archive/far.h"
#include "files/textfile.h"
#include "model/failure.h"
#include "model/paths.h"

namespace mervane {

Mat4 Multiply(const Mat4& a, const Mat4& b) {
  Mat4 out{};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[4 * k + r] * b[4 * c + k];
      out[4 * c + r] = sum;
    }
  return out;
}

Vec3 TransformPoint(const Mat4& m, const Vec3& p) {
  return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
          m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

Vec3 TransformDirection(const Mat4& m, const Vec3& d) {
  return {m[0] * d.x + m[4] * d.y + m[8] * d.z, m[1] * d.x + m[5] * d.y + m[9] * d.z,
          m[2] * d.x + m[6] * d.y + m[10] * d.z};
}

Mat4 TrsMatrix(const std::array<double, 3>& t, const std::array<double, 4>& q, const std::array<double, 3>& s) {
  const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  const double x = q[0] / length, y = q[1] / length, z = q[2] / length, w = q[3] / length;
  return {s[0] * (1 - 2 * (y * y + z * z)), s[0] * 2 * (x * y + z * w), s[0] * 2 * (x * z - y * w), 0,
          s[1] * 2 * (x * y - z * w), s[1] * (1 - 2 * (x * x + z * z)), s[1] * 2 * (y * z + x * w), 0,
          s[2] * 2 * (x * z + y * w), s[2] * 2 * (y * z - x * w), s[2] * (1 - 2 * (x * x + y * y)), 0,
          t[0], t[1], t[2], 1};
}

Mat4 AffineInverse(const Mat4& m) {
  // The 3x3 part by its cofactors, then the translation taken back.
  auto at = [&](int r, int c) { return m[static_cast<std::size_t>(4 * c + r)]; };
  const double c00 = at(1, 1) * at(2, 2) - at(1, 2) * at(2, 1), c01 = at(1, 2) * at(2, 0) - at(1, 0) * at(2, 2),
               c02 = at(1, 0) * at(2, 1) - at(1, 1) * at(2, 0);
  const double det = at(0, 0) * c00 + at(0, 1) * c01 + at(0, 2) * c02;
  if (!(std::abs(det) > 1e-300)) return kIdentity4;
  const double inv[3][3] = {
      {c00 / det, (at(0, 2) * at(2, 1) - at(0, 1) * at(2, 2)) / det, (at(0, 1) * at(1, 2) - at(0, 2) * at(1, 1)) / det},
      {c01 / det, (at(0, 0) * at(2, 2) - at(0, 2) * at(2, 0)) / det, (at(0, 2) * at(1, 0) - at(0, 0) * at(1, 2)) / det},
      {c02 / det, (at(0, 1) * at(2, 0) - at(0, 0) * at(2, 1)) / det, (at(0, 0) * at(1, 1) - at(0, 1) * at(1, 0)) / det}};
  Mat4 out = kIdentity4;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) out[static_cast<std::size_t>(4 * c + r)] = inv[r][c];
  const Vec3 t = TransformDirection(out, {m[12], m[13], m[14]});
  out[12] = -t.x, out[13] = -t.y, out[14] = -t.z;
  return out;
}

namespace {

using tinygltf::Accessor;
using tinygltf::Model;

Failure Bad(int number, std::string what, std::string about = {}) {
  Failure failure = Failure::Error(number, std::move(what));
  if (!about.empty()) failure.About(std::move(about));
  return failure;
}

std::uint32_t Le32(std::string_view bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(k)]);
  return v;
}

// The container of a .glb: its JSON chunk and the BIN chunk's size. The
// library checks the same; doing it first gives the user offsets.
std::string_view CheckGlb(std::string_view bytes) {
  auto at = [](Failure failure, std::uint64_t offset) { return std::move(failure.AtOffset(offset)); };
  if (bytes.size() < 20) throw at(Bad(err::kPastEndOfFile, "a .glb starts with a 20-byte header"), bytes.size());
  if (Le32(bytes, 4) != 2) throw at(Bad(err::kInvalidArgument, "only glTF version 2 is read"), 4);
  if (bytes.size() > 0xFFFFFFFFu) throw at(Bad(err::kOverflow, "a .glb holds at most 4 GB"), 8);
  const std::uint64_t length = Le32(bytes, 8);
  if (length > bytes.size())
    throw at(Bad(err::kPastEndOfFile, "the header announces " + std::to_string(length) + " bytes; the file ends at " +
                                          std::to_string(bytes.size())),
             bytes.size());
  if (length < bytes.size()) throw at(Bad(err::kInvalidArgument, "bytes follow the announced end"), length);
  const std::uint64_t json_length = Le32(bytes, 12);
  if (Le32(bytes, 16) != 0x4E4F534Au) throw at(Bad(err::kInvalidArgument, "the first chunk must be JSON"), 16);
  if (20 + json_length > length)
    throw at(Bad(err::kPastEndOfFile, "the JSON chunk runs past the end of the file"), length);
  std::uint64_t next = 20 + json_length;
  if (next < length) {
    if (next + 8 > length) throw at(Bad(err::kPastEndOfFile, "a chunk header needs 8 bytes"), length);
    const std::uint64_t bin_length = Le32(bytes, next);
    if (Le32(bytes, next + 4) != 0x004E4942u)
      throw at(Bad(err::kInvalidArgument, "the second chunk must be BIN"), next + 4);
    if (next + 8 + bin_length > length)
      throw at(Bad(err::kPastEndOfFile, "the BIN chunk runs past the end of the file"), length);
    if (bin_length < 4 || bin_length % 4 != 0)
      throw at(Bad(err::kInvalidArgument, "the BIN chunk's length must be a multiple of 4"), next);
  }
  return bytes.substr(20, json_length);
}

// JSON nested without end would run the library's recursion out of stack.
void CheckNesting(std::string_view json) {
  int depth = 0;
  bool in_string = false, escaped = false;
  for (std::size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (in_string) {
      if (escaped) escaped = false;
      else if (c == '\\') escaped = true;
      else if (c == '"') in_string = false;
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kGltfNestingLimit)
        throw Bad(err::kInvalidArgument, "the JSON nests deeper than " + std::to_string(kGltfNestingLimit) + " levels")
            .AtOffset(i);
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
}

// The top-level "buffers" as the JSON announces them, taken before the
// library reads any: it copies the BIN chunk for each buffer of a .glb
// without a URI, and reads a file for each that names one, so that a short
// list of buffers could ask for the chunk or a file many times over.
class BufferScan : public nlohmann::json_sax<nlohmann::json> {
 public:
  std::uint64_t announced = 0;  // every buffer's byteLength, summed
  long late_uriless = -1;       // the first buffer after the first without a URI

  bool start_object(std::size_t) override {
    if (++depth_ == 3 && in_buffers_) ++index_, has_uri_ = false;
    return Value();
  }
  bool end_object() override {
    if (depth_-- == 3 && in_buffers_ && !has_uri_ && index_ > 0 && late_uriless < 0) late_uriless = index_;
    return true;
  }
  bool start_array(std::size_t) override {
    if (++depth_ == 2 && buffers_key_) in_buffers_ = true;
    return Value();
  }
  bool end_array() override {
    if (depth_-- == 2) in_buffers_ = false;
    return true;
  }
  bool key(string_t& key) override {
    if (depth_ == 1) buffers_key_ = key == "buffers";
    length_key_ = in_buffers_ && depth_ == 3 && key == "byteLength";
    if (in_buffers_ && depth_ == 3 && key == "uri") has_uri_ = true;
    return true;
  }
  bool number_unsigned(number_unsigned_t value) override {
    // Saturating: a sum past the limit is refused however far past it is.
    if (length_key_) announced = value > kGltfBufferLimit ? kGltfBufferLimit + 1 : announced + value;
    return Value();
  }
  bool null() override { return Value(); }
  bool boolean(bool) override { return Value(); }
  bool number_integer(number_integer_t) override { return Value(); }
  bool number_float(number_float_t, const string_t&) override { return Value(); }
  bool string(string_t&) override { return Value(); }
  bool binary(binary_t&) override { return Value(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

 private:
  bool Value() {
    length_key_ = false;
    announced = std::min(announced, kGltfBufferLimit + 1);
    return true;
  }
  int depth_ = 0;
  long index_ = -1;
  bool buffers_key_ = false, in_buffers_ = false, has_uri_ = false, length_key_ = false;
};

// Refuses buffers that would be copied or read beyond the limit. JSON that
// does not parse is left to the library, which tells why.
void CheckBuffers(std::string_view json, bool binary) {
  BufferScan scan;
  if (!nlohmann::json::sax_parse(json, &scan)) return;
  if (binary && scan.late_uriless >= 0)
    throw Bad(err::kInvalidArgument, "it has no URI, and only the first buffer of a .glb is its BIN chunk",
              Counted("buffer", scan.late_uriless));
  if (scan.announced > kGltfBufferLimit)
    throw Bad(err::kIndexOutOfRange,
              "its buffers announce more than the " + std::to_string(kGltfBufferLimit) + " bytes read");
}

// Why a URI may not be read, or empty when it may: it must name a file in
// the folder or below.
std::string UriProblem(std::string_view uri) {
  if (uri.empty()) return "is empty";
  for (const char c : uri)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "holds a control character";
  const bool drive = uri.size() >= 2 && std::isalpha(static_cast<unsigned char>(uri[0])) && uri[1] == ':';
  if (uri.front() == '/' || uri.front() == '\\' || drive) return "is an absolute path, not a file beside the .gltf";
  if (uri.find(':') != std::string_view::npos) return "is a URL, not a file beside the .gltf";
  std::size_t start = 0;
  while (start <= uri.size()) {
    std::size_t end = uri.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = uri.size();
    if (uri.substr(start, end - start) == "..") return "climbs out of the .gltf's folder";
    start = end + 1;
  }
  return {};
}

Failure UriFailure(std::string_view uri, const std::string& problem) {
  std::string shown(uri.substr(0, 200));
  return Bad(err::kBadFileName, "the URI \"" + shown + "\" " + problem +
                                    "; a .gltf reads only data: URIs and files in its own folder or below");
}

// The library's file access: it sees the marker, a slash and the decoded
// URI, and never the file system's own paths. Its second try, relative to
// the current folder, finds nothing.
constexpr std::string_view kBaseMarker = "\x01";

struct FileAccess {
  std::string folder;
  std::optional<Failure> failure;  // the first refusal, told instead of the library's words
  void Refuse(Failure f) {
    if (!failure) failure = std::move(f);
  }
  std::optional<std::string> PathOf(const std::string& library_path) {
    if (library_path.size() < 2 || library_path.compare(0, 1, kBaseMarker) != 0 || library_path[1] != '/')
      return std::nullopt;
    const std::string uri = library_path.substr(2);
    if (const std::string problem = UriProblem(uri); !problem.empty()) {
      Refuse(UriFailure(uri, problem));
      return std::nullopt;
    }
    return folder + uri;
  }
};

bool FileExists(const std::string& library_path, void* user) {
  auto& access = *static_cast<FileAccess*>(user);
  const std::optional<std::string> path = access.PathOf(library_path);
  if (!path) return false;
  if (!IsOrdinaryFile(*path))
    access.Refuse(Bad(err::kFileNotFound, "the buffer file \"" + FileNameOf(*path) + "\" it names is not there"));
  return IsOrdinaryFile(*path);
}

std::string ExpandFilePath(const std::string& path, void*) { return path; }

bool ReadFile(std::vector<unsigned char>* out, std::string* err, const std::string& library_path, void* user) {
  auto& access = *static_cast<FileAccess*>(user);
  const std::optional<std::string> path = access.PathOf(library_path);
  if (!path) return false;
  try {
    const std::string bytes = ReadWholeFile(*path);
    out->assign(bytes.begin(), bytes.end());
    return true;
  } catch (const Failure& failure) {
    access.Refuse(failure);
    if (err) *err = failure.detail();
    return false;
  }
}

bool WriteFile(std::string*, const std::string&, const std::vector<unsigned char>&, void*) { return false; }

// Images are carried, never decoded.
bool KeepImage(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int, void*) {
  return true;
}

std::string FirstLine(const std::string& text) {
  const std::size_t end = text.find('\n');
  return text.substr(0, end);
}

Model LoadModel(std::string_view bytes, const std::string& folder) {
  const bool binary = bytes.size() >= 4 && bytes.substr(0, 4) == "glTF";
  const std::string_view json = binary ? CheckGlb(bytes) : bytes;
  if (!binary && bytes.size() > 0xFFFFFFFFu) throw Bad(err::kOverflow, "a .gltf holds at most 4 GB");
  CheckNesting(json);
  CheckBuffers(json, binary);
  FileAccess access{folder, std::nullopt};
  tinygltf::TinyGLTF loader;
  loader.SetFsCallbacks({&FileExists, &ExpandFilePath, &ReadFile, &WriteFile, &access});
  loader.SetImageLoader(&KeepImage, nullptr);
  Model model;
  std::string error, warning;
  bool ok = false;
  try {
    const std::string base(kBaseMarker);
    ok = binary ? loader.LoadBinaryFromMemory(&model, &error, &warning,
                                              reinterpret_cast<const unsigned char*>(bytes.data()),
                                              static_cast<unsigned>(bytes.size()), base)
                : loader.LoadASCIIFromString(&model, &error, &warning, bytes.data(),
                                             static_cast<unsigned>(bytes.size()), base);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (access.failure) throw *access.failure;
  if (!ok) throw Bad(err::kInvalidArgument, "not valid glTF: " + (error.empty() ? "unreadable" : FirstLine(error)));
  return model;
}

// --- checking the model's references ------------------------------------

int ComponentSize(int type) {
  switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: return 2;
    case TINYGLTF_COMPONENT_TYPE_INT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return 4;
    case TINYGLTF_COMPONENT_TYPE_DOUBLE: return 8;
    default: return 0;
  }
}

int ComponentCount(int type) {
  switch (type) {
    case TINYGLTF_TYPE_SCALAR: return 1;
    case TINYGLTF_TYPE_VEC2: return 2;
    case TINYGLTF_TYPE_VEC3: return 3;
    case TINYGLTF_TYPE_VEC4: return 4;
    case TINYGLTF_TYPE_MAT2: return 4;
    case TINYGLTF_TYPE_MAT3: return 9;
    case TINYGLTF_TYPE_MAT4: return 16;
    default: return 0;
  }
}

// An index into a table of count entries, for the element about.
void CheckIndex(int index, std::size_t count, const std::string& what, const std::string& about,
                bool optional = false) {
  if (optional && index == -1) return;
  if (index < 0 || static_cast<std::size_t>(index) >= count)
    throw Bad(err::kIndexOutOfRange,
              what + " " + std::to_string(index) + " is past the " + std::to_string(count) + " there are", about);
}

// Where an accessor's elements are: checked once, then read without checks.
struct View {
  const unsigned char* data = nullptr;
  std::size_t count = 0, stride = 0;
  int components = 0, component_type = 0;
  bool normalized = false;
};

void CheckAllViews(const Model& m) {
  for (std::size_t i = 0; i < m.bufferViews.size(); ++i) {
    const auto& view = m.bufferViews[i];
    const std::string about = Counted("buffer view", static_cast<long>(i));
    CheckIndex(view.buffer, m.buffers.size(), "its buffer", about);
    const std::size_t size = m.buffers[static_cast<std::size_t>(view.buffer)].data.size();
    if (view.byteOffset > size || view.byteLength > size - view.byteOffset)
      throw Bad(err::kIndexOutOfRange,
                "bytes " + std::to_string(view.byteOffset) + " + " + std::to_string(view.byteLength) +
                    " run past its buffer's " + std::to_string(size),
                about);
  }
}

View CheckAccessor(const Model& m, int index, const std::string& about) {
  CheckIndex(index, m.accessors.size(), "accessor", about);
  const Accessor& a = m.accessors[static_cast<std::size_t>(index)];
  const std::string name = Counted("accessor", index);
  if (a.sparse.isSparse) throw Bad(err::kInvalidArgument, "sparse accessors are not read", name);
  if (a.bufferView < 0) throw Bad(err::kInvalidArgument, "an accessor without a buffer view is not read", name);
  CheckIndex(a.bufferView, m.bufferViews.size(), "its buffer view", name);
  const auto& view = m.bufferViews[static_cast<std::size_t>(a.bufferView)];
  const std::size_t element = static_cast<std::size_t>(ComponentSize(a.componentType) * ComponentCount(a.type));
  if (element == 0) throw Bad(err::kInvalidArgument, "its component type or type is unknown", name);
  const std::size_t stride = view.byteStride ? view.byteStride : element;
  if (stride < element)
    throw Bad(err::kInvalidArgument,
              "its view's stride " + std::to_string(stride) + " is smaller than its " + std::to_string(element) +
                  "-byte elements",
              name);
  View out;
  out.count = a.count;
  if (a.count > 0) {
    // Checked step by step: count and offset may be as large as the JSON allows.
    const std::size_t room = view.byteLength;
    if (a.byteOffset > room || element > room - a.byteOffset ||
        (a.count - 1) > (room - a.byteOffset - element) / stride)
      throw Bad(err::kIndexOutOfRange,
                std::to_string(a.count) + " elements from byte " + std::to_string(a.byteOffset) +
                    " do not fit its view's " + std::to_string(room) + " bytes",
                name);
    out.data = m.buffers[static_cast<std::size_t>(view.buffer)].data.data() + view.byteOffset + a.byteOffset;
  }
  out.stride = stride;
  out.components = ComponentCount(a.type);
  out.component_type = a.componentType;
  out.normalized = a.normalized;
  return out;
}

// The accessor as the reader needs it: one of the component types allowed
// for its attribute, and the components expected.
View AttributeView(const Model& m, int index, int components, std::initializer_list<int> types,
                   const std::string& what) {
  View view = CheckAccessor(m, index, what);
  bool allowed = false;
  for (const int t : types) allowed = allowed || t == view.component_type;
  if (!allowed || view.components != components)
    throw Bad(err::kInvalidArgument, "its accessor has a type glTF does not allow there", what);
  return view;
}

double Component(const View& v, std::size_t element, int k) {
  const unsigned char* p = v.data + element * v.stride + static_cast<std::size_t>(k * ComponentSize(v.component_type));
  switch (v.component_type) {
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return v.normalized ? p[0] / 255.0 : p[0];
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
      std::uint16_t x;
      std::memcpy(&x, p, 2);
      return v.normalized ? x / 65535.0 : x;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
      std::uint32_t x;
      std::memcpy(&x, p, 4);
      return x;
    }
    case TINYGLTF_COMPONENT_TYPE_FLOAT: {
      float x;
      std::memcpy(&x, p, 4);
      return x;
    }
    default: return 0;  // AttributeView allows no other type
  }
}

double Finite(double value, const std::string& what, const std::string& about) {
  if (!std::isfinite(value)) throw Bad(err::kOverflow, what + " is not a finite number", about);
  return value;
}

Mat4 LocalMatrix(const tinygltf::Node& node, const std::string& about) {
  auto check = [&](const std::vector<double>& values, std::size_t size, const char* what) {
    if (!values.empty() && values.size() != size)
      throw Bad(err::kInvalidArgument, std::string("its ") + what + " needs " + std::to_string(size) + " numbers",
                about);
    for (const double v : values) Finite(v, std::string("its ") + what, about);
  };
  check(node.matrix, 16, "matrix");
  check(node.translation, 3, "translation");
  check(node.rotation, 4, "rotation");
  check(node.scale, 3, "scale");
  if (!node.matrix.empty()) {
    Mat4 m;
    for (std::size_t i = 0; i < 16; ++i) m[i] = node.matrix[i];
    return m;
  }
  std::array<double, 4> q{0, 0, 0, 1};
  if (!node.rotation.empty()) {
    std::copy_n(node.rotation.begin(), 4, q.begin());
    if (!(std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]) > 1e-12))
      throw Bad(err::kInvalidArgument, "its rotation is not a rotation", about);
  }
  std::array<double, 3> t{0, 0, 0}, scale{1, 1, 1};
  if (!node.translation.empty()) std::copy_n(node.translation.begin(), 3, t.begin());
  if (!node.scale.empty()) std::copy_n(node.scale.begin(), 3, scale.begin());
  return TrsMatrix(t, q, scale);
}

// Parents from the children lists, each node at most one; a cycle is a
// node that is its own ancestor.
std::vector<int> Parents(const Model& m) {
  std::vector<int> parents(m.nodes.size(), -1);
  for (std::size_t i = 0; i < m.nodes.size(); ++i)
    for (const int child : m.nodes[i].children) {
      const std::string about = Counted("node", static_cast<long>(i));
      CheckIndex(child, m.nodes.size(), "child node", about);
      int& parent = parents[static_cast<std::size_t>(child)];
      if (parent != -1)
        throw Bad(err::kInvalidArgument, "is a child of two nodes", Counted("node", child));
      parent = static_cast<int>(i);
    }
  // Each node walked up once: a walk that meets its own path is a cycle,
  // one that meets a node already walked ends there (a long chain of nodes
  // must not cost its length squared).
  enum : char { kNotYet, kOnPath, kWalked };
  std::vector<char> state(parents.size(), kNotYet);
  std::vector<std::size_t> path;
  for (std::size_t i = 0; i < parents.size(); ++i) {
    for (int at = static_cast<int>(i); at != -1 && state[static_cast<std::size_t>(at)] != kWalked;
         at = parents[static_cast<std::size_t>(at)]) {
      if (state[static_cast<std::size_t>(at)] == kOnPath)
        throw Bad(err::kInvalidArgument, "the node tree has a cycle through it", Counted("node", at));
      state[static_cast<std::size_t>(at)] = kOnPath;
      path.push_back(static_cast<std::size_t>(at));
    }
    for (const std::size_t walked : path) state[walked] = kWalked;
    path.clear();
  }
  return parents;
}

void CheckReferences(const Model& m) {
  for (const std::string& extension : m.extensionsRequired)
    throw Bad(err::kInvalidArgument, "it needs the glTF extension " + extension + ", which is not read");
  CheckAllViews(m);
  for (std::size_t i = 0; i < m.accessors.size(); ++i) {
    const Accessor& a = m.accessors[i];
    if (a.bufferView >= 0 && !a.sparse.isSparse) CheckAccessor(m, static_cast<int>(i), {});
    else CheckIndex(a.bufferView, m.bufferViews.size(), "its buffer view", Counted("accessor", static_cast<long>(i)), true);
  }
  for (std::size_t i = 0; i < m.meshes.size(); ++i) {
    const std::string about = Counted("mesh", static_cast<long>(i));
    for (const auto& primitive : m.meshes[i].primitives) {
      for (const auto& [name, accessor] : primitive.attributes)
        CheckIndex(accessor, m.accessors.size(), "accessor", about + ", " + name);
      for (const auto& target : primitive.targets)
        for (const auto& [name, accessor] : target) CheckIndex(accessor, m.accessors.size(), "accessor", about + ", " + name);
      CheckIndex(primitive.indices, m.accessors.size(), "accessor", about + ", its indices", true);
      CheckIndex(primitive.material, m.materials.size(), "material", about, true);
    }
  }
  for (std::size_t i = 0; i < m.nodes.size(); ++i) {
    const auto& node = m.nodes[i];
    const std::string about = Counted("node", static_cast<long>(i));
    CheckIndex(node.mesh, m.meshes.size(), "mesh", about, true);
    CheckIndex(node.skin, m.skins.size(), "skin", about, true);
    CheckIndex(node.camera, m.cameras.size(), "camera", about, true);
  }
  for (std::size_t i = 0; i < m.skins.size(); ++i) {
    const auto& skin = m.skins[i];
    const std::string about = Counted("skin", static_cast<long>(i));
    if (skin.joints.size() > kGltfJointLimit)
      throw Bad(err::kIndexOutOfRange,
                std::to_string(skin.joints.size()) + " joints are more than the " + std::to_string(kGltfJointLimit) +
                    " read",
                about);
    for (const int joint : skin.joints) CheckIndex(joint, m.nodes.size(), "joint node", about);
    CheckIndex(skin.skeleton, m.nodes.size(), "skeleton node", about, true);
    if (skin.inverseBindMatrices != -1) {
      const View view = AttributeView(m, skin.inverseBindMatrices, 16, {TINYGLTF_COMPONENT_TYPE_FLOAT}, about);
      if (view.count < skin.joints.size())
        throw Bad(err::kIndexOutOfRange, "it has fewer inverse bind matrices than joints", about);
    }
  }
  for (std::size_t i = 0; i < m.scenes.size(); ++i)
    for (const int node : m.scenes[i].nodes) CheckIndex(node, m.nodes.size(), "node", Counted("scene", static_cast<long>(i)));
  if (!m.scenes.empty()) CheckIndex(m.defaultScene, m.scenes.size(), "the default scene", {}, true);
  for (std::size_t i = 0; i < m.materials.size(); ++i) {
    const auto& material = m.materials[i];
    const std::string about = Counted("material", static_cast<long>(i));
    for (const int texture : {material.pbrMetallicRoughness.baseColorTexture.index,
                              material.pbrMetallicRoughness.metallicRoughnessTexture.index,
                              material.normalTexture.index, material.occlusionTexture.index,
                              material.emissiveTexture.index})
      CheckIndex(texture, m.textures.size(), "texture", about, true);
  }
  for (std::size_t i = 0; i < m.textures.size(); ++i) {
    const std::string about = Counted("texture", static_cast<long>(i));
    CheckIndex(m.textures[i].source, m.images.size(), "image", about, true);
    CheckIndex(m.textures[i].sampler, m.samplers.size(), "sampler", about, true);
  }
  for (std::size_t i = 0; i < m.images.size(); ++i) {
    const auto& image = m.images[i];
    CheckIndex(image.bufferView, m.bufferViews.size(), "buffer view", Counted("image", static_cast<long>(i)), true);
    // Images are not read; an image file named as no .gltf may name is still refused.
    if (!image.uri.empty() && image.uri.rfind("data:", 0) != 0)
      if (const std::string problem = UriProblem(image.uri); !problem.empty()) throw UriFailure(image.uri, problem);
  }
  for (std::size_t i = 0; i < m.animations.size(); ++i) {
    const auto& animation = m.animations[i];
    const std::string about = Counted("animation", static_cast<long>(i));
    for (const auto& channel : animation.channels) {
      CheckIndex(channel.sampler, animation.samplers.size(), "sampler", about);
      CheckIndex(channel.target_node, m.nodes.size(), "target node", about, true);
    }
    for (const auto& sampler : animation.samplers) {
      CheckIndex(sampler.input, m.accessors.size(), "input accessor", about);
      CheckIndex(sampler.output, m.accessors.size(), "output accessor", about);
    }
  }
}

// --- reading the meshes ---------------------------------------------------

// The vertices and triangles read so far from every mesh: nodes may place
// one mesh many times over, each a copy.
struct Totals {
  std::size_t vertices = 0, triangles = 0;
};

struct Triangles {
  std::vector<std::array<std::uint32_t, 3>>& out;
  std::uint32_t base;
  Totals& totals;
  void Add(std::uint32_t a, std::uint32_t b, std::uint32_t c, const std::string& about) {
    if (out.size() >= kGltfTriangleLimit)
      throw Bad(err::kIndexOutOfRange,
                "more than " + std::to_string(kGltfTriangleLimit) + " triangles (the faces a skin holds)", about);
    if (totals.triangles >= kGltfFileTriangleLimit)
      throw Bad(err::kIndexOutOfRange, "more than " + std::to_string(kGltfFileTriangleLimit) + " triangles in all",
                about);
    ++totals.triangles;
    out.push_back({base + a, base + b, base + c});
  }
};

void ReadPrimitive(const Model& m, const tinygltf::Primitive& primitive, const std::vector<Mat4>& joint_matrices,
                   const std::vector<int>& joint_nodes, const Mat4& node_world, GltfMesh& mesh, Totals& totals,
                   const std::string& about) {
  const auto attribute = [&](const char* name) {
    const auto found = primitive.attributes.find(name);
    return found == primitive.attributes.end() ? -1 : found->second;
  };
  const int position_accessor = attribute("POSITION");
  if (position_accessor < 0) throw Bad(err::kInvalidArgument, "a primitive has no POSITION", about);
  const View positions = AttributeView(m, position_accessor, 3, {TINYGLTF_COMPONENT_TYPE_FLOAT}, about + ", POSITION");
  const std::size_t count = positions.count;
  const std::size_t base = mesh.positions.size();
  if (count > kGltfVertexLimit - base)
    throw std::move(Failure(FailureKind::VertexLimit, 0,
                            std::to_string(base + count) + " vertices; a mesh may hold " +
                                std::to_string(kGltfVertexLimit))
                        .About(about));
  if (count > kGltfFileVertexLimit - totals.vertices)
    throw std::move(Failure(FailureKind::VertexLimit, 0,
                            std::to_string(totals.vertices + count) + " vertices in all; a file may hold " +
                                std::to_string(kGltfFileVertexLimit))
                        .About(about));
  totals.vertices += count;
  auto same_count = [&](const View& view, const char* name) {
    if (view.count != count)
      throw Bad(err::kInvalidArgument,
                std::string(name) + " has " + std::to_string(view.count) + " elements for " + std::to_string(count) +
                    " positions",
                about);
    return view;
  };
  const int normal_accessor = attribute("NORMAL"), uv_accessor = attribute("TEXCOORD_0");
  const int joint_accessor = attribute("JOINTS_0"), weight_accessor = attribute("WEIGHTS_0");
  const bool first = base == 0 && mesh.triangles.empty();
  const bool has_normals = normal_accessor >= 0, has_uvs = uv_accessor >= 0,
             has_weights = joint_accessor >= 0 && weight_accessor >= 0;
  // Primitives of one mesh are joined; they must agree on what they hold.
  if (first) {
    mesh.has_normals = has_normals, mesh.has_uvs = has_uvs, mesh.has_weights = has_weights;
  } else if (mesh.has_normals != has_normals || mesh.has_uvs != has_uvs || mesh.has_weights != has_weights) {
    throw Bad(err::kInvalidArgument, "its primitives differ in the attributes they hold", about);
  }
  if ((joint_accessor >= 0) != (weight_accessor >= 0))
    throw Bad(err::kInvalidArgument, "JOINTS_0 and WEIGHTS_0 come together", about);
  if (has_weights && joint_nodes.empty())
    throw Bad(err::kInvalidArgument, "it has bone weights but its node has no skin", about);

  View normals, uvs, joints, weights;
  if (has_normals)
    normals = same_count(AttributeView(m, normal_accessor, 3, {TINYGLTF_COMPONENT_TYPE_FLOAT}, about + ", NORMAL"),
                         "NORMAL");
  if (has_uvs) {
    uvs = same_count(AttributeView(m, uv_accessor, 2,
                                   {TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                                    TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT},
                                   about + ", TEXCOORD_0"),
                     "TEXCOORD_0");
    if (uvs.component_type != TINYGLTF_COMPONENT_TYPE_FLOAT && !uvs.normalized)
      throw Bad(err::kInvalidArgument, "integer texture coordinates must be normalized", about);
  }
  if (has_weights) {
    joints = same_count(AttributeView(m, joint_accessor, 4,
                                      {TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT},
                                      about + ", JOINTS_0"),
                        "JOINTS_0");
    weights = same_count(AttributeView(m, weight_accessor, 4,
                                       {TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                                        TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT},
                                       about + ", WEIGHTS_0"),
                         "WEIGHTS_0");
    if (weights.component_type != TINYGLTF_COMPONENT_TYPE_FLOAT && !weights.normalized)
      throw Bad(err::kInvalidArgument, "integer weights must be normalized", about);
  }

  mesh.positions.reserve(base + count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string vertex = about + ", " + Counted("vertex", static_cast<long>(base + i));
    auto read3 = [&](const View& v, const char* what) {
      return Vec3{Finite(Component(v, i, 0), what, vertex), Finite(Component(v, i, 1), what, vertex),
                  Finite(Component(v, i, 2), what, vertex)};
    };
    const Vec3 p = read3(positions, "its position");
    const Vec3 n = has_normals ? read3(normals, "its normal") : Vec3{};
    Mat4 skinning{};
    double total = 0;
    if (has_weights) {
      std::array<int, 4> nodes{-1, -1, -1, -1};
      std::array<double, 4> w{};
      for (int k = 0; k < 4; ++k) {
        w[static_cast<std::size_t>(k)] = Finite(Component(weights, i, k), "its weight", vertex);
        if (w[static_cast<std::size_t>(k)] < 0) throw Bad(err::kInvalidArgument, "a weight is negative", vertex);
        if (w[static_cast<std::size_t>(k)] == 0) continue;
        const double joint = Component(joints, i, k);
        if (joint >= static_cast<double>(joint_nodes.size()))
          throw Bad(err::kIndexOutOfRange,
                    "joint " + std::to_string(static_cast<long>(joint)) + " is past the skin's " +
                        std::to_string(joint_nodes.size()) + " joints",
                    vertex);
        const auto j = static_cast<std::size_t>(joint);
        nodes[static_cast<std::size_t>(k)] = joint_nodes[j];
        total += w[static_cast<std::size_t>(k)];
        for (std::size_t e = 0; e < 16; ++e) skinning[e] += w[static_cast<std::size_t>(k)] * joint_matrices[j][e];
      }
      mesh.joints.push_back(nodes);
      mesh.weights.push_back(w);
    }
    // A vertex without weight stays where its node puts it; the skin
    // reader refuses it by name.
    if (total > 0) {
      for (double& e : skinning) e /= total;
    } else {
      skinning = node_world;
    }
    mesh.positions.push_back(TransformPoint(skinning, p));
    if (has_normals) {
      // Rotation and uniform scale only, as modellers write them: the
      // direction normalised is the normal.
      Vec3 d = TransformDirection(skinning, n);
      const double length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
      if (length > 0) d = {d.x / length, d.y / length, d.z / length};
      mesh.normals.push_back(d);
    }
    if (has_uvs)
      mesh.uvs.push_back({Finite(Component(uvs, i, 0), "its texture coordinate", vertex),
                          Finite(Component(uvs, i, 1), "its texture coordinate", vertex)});
  }

  const int mode = primitive.mode < 0 ? TINYGLTF_MODE_TRIANGLES : primitive.mode;
  if (mode != TINYGLTF_MODE_TRIANGLES && mode != TINYGLTF_MODE_TRIANGLE_STRIP && mode != TINYGLTF_MODE_TRIANGLE_FAN)
    throw Bad(err::kInvalidArgument, "only triangles are read (its primitive mode is " + std::to_string(mode) + ")",
              about);
  std::size_t index_count = count;
  View indices;
  if (primitive.indices >= 0) {
    indices = AttributeView(m, primitive.indices, 1,
                            {TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                             TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT},
                            about + ", its indices");
    index_count = indices.count;
  }
  if (index_count > 3 * kGltfTriangleLimit + 2)
    throw Bad(err::kIndexOutOfRange,
              std::to_string(index_count) + " indices are more than " + std::to_string(kGltfTriangleLimit) +
                  " triangles need",
              about);
  std::vector<std::uint32_t> corner(index_count);
  for (std::size_t k = 0; k < index_count; ++k) {
    const double value = primitive.indices >= 0 ? Component(indices, k, 0) : static_cast<double>(k);
    if (value >= static_cast<double>(count))
      throw Bad(err::kIndexOutOfRange,
                "index " + std::to_string(static_cast<long long>(value)) + " is past the " + std::to_string(count) +
                    " vertices",
                about + ", " + Counted("index", static_cast<long>(k)));
    corner[k] = static_cast<std::uint32_t>(value);
  }
  Triangles out{mesh.triangles, static_cast<std::uint32_t>(base), totals};
  if (mode == TINYGLTF_MODE_TRIANGLES) {
    if (index_count % 3 != 0)
      throw Bad(err::kInvalidArgument, std::to_string(index_count) + " indices do not make whole triangles", about);
    for (std::size_t k = 0; k + 2 < index_count; k += 3) out.Add(corner[k], corner[k + 1], corner[k + 2], about);
  } else if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
    for (std::size_t k = 0; k + 2 < index_count; ++k)
      if (k % 2 == 0) out.Add(corner[k], corner[k + 1], corner[k + 2], about);
      else out.Add(corner[k + 1], corner[k], corner[k + 2], about);
  } else {
    for (std::size_t k = 1; k + 1 < index_count; ++k) out.Add(corner[0], corner[k], corner[k + 1], about);
  }
}

// One animation's channels as keys, each checked: times finite and rising,
// values finite and one per key (three per key for a cubic spline).
GltfAnimation ReadAnimation(const Model& m, std::size_t index) {
  const auto& source = m.animations[index];
  GltfAnimation animation;
  animation.name = source.name.empty() ? Counted("animation", static_cast<long>(index)) : source.name;
  for (std::size_t c = 0; c < source.channels.size(); ++c) {
    const auto& channel = source.channels[c];
    const std::string about = "animation " + animation.name + ", " + Counted("channel", static_cast<long>(c));
    GltfChannel out;
    if (channel.target_node < 0 || channel.target_path == "weights") continue;
    out.node = channel.target_node;
    if (channel.target_path == "translation") out.path = GltfChannel::Path::Translation;
    else if (channel.target_path == "rotation") out.path = GltfChannel::Path::Rotation;
    else if (channel.target_path == "scale") out.path = GltfChannel::Path::Scale;
    else throw Bad(err::kInvalidArgument, "it moves \"" + channel.target_path + "\", which no bone has", about);
    const auto& sampler = source.samplers[static_cast<std::size_t>(channel.sampler)];
    const bool cubic = sampler.interpolation == "CUBICSPLINE";
    out.step = sampler.interpolation == "STEP";
    const View input = AttributeView(m, sampler.input, 1, {TINYGLTF_COMPONENT_TYPE_FLOAT}, about);
    const int components = out.path == GltfChannel::Path::Rotation ? 4 : 3;
    const View output = AttributeView(m, sampler.output, components, {TINYGLTF_COMPONENT_TYPE_FLOAT}, about);
    if (input.count > kGltfKeyLimit)
      throw Bad(err::kIndexOutOfRange,
                std::to_string(input.count) + " keys are more than a skill's " + std::to_string(kGltfKeyLimit) + " frames",
                about);
    if (input.count == 0 || output.count != input.count * (cubic ? 3 : 1))
      throw Bad(err::kInvalidArgument,
                "its sampler has " + std::to_string(input.count) + " keys but " + std::to_string(output.count) + " values",
                about);
    for (std::size_t k = 0; k < input.count; ++k) {
      const double t = Finite(Component(input, k, 0), "a key's time", about);
      if (t < 0) throw Bad(err::kInvalidArgument, "key " + std::to_string(k) + "'s time is negative", about);
      if (!out.times.empty() && !(t > out.times.back()))
        throw Bad(err::kInvalidArgument, "its key times go backwards at key " + std::to_string(k), about);
      out.times.push_back(t);
      std::array<double, 4> value{0, 0, 0, 0};
      for (int e = 0; e < components; ++e)
        value[static_cast<std::size_t>(e)] =
            Finite(Component(output, cubic ? 3 * k + 1 : k, e), "key " + std::to_string(k) + "'s value", about);
      out.values.push_back(value);
    }
    animation.channels.push_back(std::move(out));
  }
  if (source.extras.IsObject() && source.extras.Has("game") && source.extras.Get("game").IsObject()) {
    const tinygltf::Value& game = source.extras.Get("game");
    for (const std::string& node : game.Keys()) {
      if (!game.Get(node).IsInt()) continue;
      const View view = AttributeView(m, game.Get(node).Get<int>(), 4, {TINYGLTF_COMPONENT_TYPE_FLOAT},
                                      "animation " + animation.name + ", the game's rotations of " + node);
      std::vector<std::array<float, 4>>& values = animation.stored[node];
      for (std::size_t k = 0; k < view.count; ++k)
        values.push_back({static_cast<float>(Component(view, k, 0)), static_cast<float>(Component(view, k, 1)),
                          static_cast<float>(Component(view, k, 2)), static_cast<float>(Component(view, k, 3))});
    }
  }
  return animation;
}

}  // namespace

GltfDocument ParseGltf(std::string_view bytes, std::string_view name, const std::string& folder) {
  return NamingFile(name, [&] {
    const Model m = LoadModel(bytes, folder);
    CheckReferences(m);
    const std::vector<int> parents = Parents(m);

    GltfDocument doc;
    doc.nodes.resize(m.nodes.size());
    std::vector<Mat4> local(m.nodes.size());
    for (std::size_t i = 0; i < m.nodes.size(); ++i) {
      doc.nodes[i].name = m.nodes[i].name;
      doc.nodes[i].parent = parents[i];
      local[i] = LocalMatrix(m.nodes[i], Counted("node", static_cast<long>(i)));
      GltfNode& node = doc.nodes[i];
      node.has_parts = m.nodes[i].matrix.empty();
      if (!m.nodes[i].translation.empty()) std::copy_n(m.nodes[i].translation.begin(), 3, node.translation.begin());
      if (!m.nodes[i].rotation.empty()) std::copy_n(m.nodes[i].rotation.begin(), 4, node.rotation.begin());
      if (!m.nodes[i].scale.empty()) std::copy_n(m.nodes[i].scale.begin(), 3, node.scale.begin());
    }
    if (!m.skins.empty()) {
      doc.joints = m.skins.front().joints;
      const tinygltf::Value& extras = m.asset.extras;
      if (extras.IsObject() && extras.Has("skeleton") && extras.Get("skeleton").IsString())
        doc.skeleton = extras.Get("skeleton").Get<std::string>();
    }
    // Parents first: each node's world is ready when its children need it.
    std::vector<bool> done(m.nodes.size(), false);
    std::vector<std::size_t> chain;
    for (std::size_t i = 0; i < m.nodes.size(); ++i) {
      for (std::size_t at = i; !done[at]; at = static_cast<std::size_t>(parents[at])) {
        chain.push_back(at);
        if (parents[at] == -1) break;
      }
      for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const int parent = parents[*it];
        doc.nodes[*it].world = parent == -1 ? local[*it] : Multiply(doc.nodes[static_cast<std::size_t>(parent)].world, local[*it]);
        done[*it] = true;
      }
      chain.clear();
    }

    // The scene's nodes: those under its roots (every root when there is no
    // scene). A walk up stops at a root or at a node already decided, whose
    // answer the nodes walked take.
    std::vector<bool> in_scene(m.nodes.size(), m.scenes.empty());
    if (!m.scenes.empty()) {
      const auto& roots = m.scenes[static_cast<std::size_t>(std::max(0, m.defaultScene))].nodes;
      std::vector<bool> decided(m.nodes.size(), false);
      for (const int root : roots) decided[static_cast<std::size_t>(root)] = in_scene[static_cast<std::size_t>(root)] = true;
      for (std::size_t i = 0; i < m.nodes.size(); ++i) {
        int at = static_cast<int>(i);
        while (at != -1 && !decided[static_cast<std::size_t>(at)]) {
          chain.push_back(static_cast<std::size_t>(at));
          at = parents[static_cast<std::size_t>(at)];
        }
        const bool under_root = at != -1 && in_scene[static_cast<std::size_t>(at)];
        for (const std::size_t walked : chain) decided[walked] = true, in_scene[walked] = under_root;
        chain.clear();
      }
    }

    Totals totals;
    for (std::size_t i = 0; i < m.nodes.size(); ++i) {
      const auto& node = m.nodes[i];
      if (!in_scene[i] || node.mesh < 0) continue;
      const auto& source = m.meshes[static_cast<std::size_t>(node.mesh)];
      GltfMesh mesh;
      mesh.name = !node.name.empty() ? node.name : source.name;
      const std::string about = "mesh " + mesh.name + " (" + Counted("node", static_cast<long>(i)) + ")";
      std::vector<Mat4> joint_matrices;
      std::vector<int> joint_nodes;
      if (node.skin >= 0) {
        const auto& skin = m.skins[static_cast<std::size_t>(node.skin)];
        View inverse;
        if (skin.inverseBindMatrices != -1)
          inverse = AttributeView(m, skin.inverseBindMatrices, 16, {TINYGLTF_COMPONENT_TYPE_FLOAT}, about);
        for (std::size_t j = 0; j < skin.joints.size(); ++j) {
          const auto joint = static_cast<std::size_t>(skin.joints[j]);
          if (!in_scene[joint])
            throw Bad(err::kInvalidArgument, "its skin's " + Counted("joint", static_cast<long>(j)) + " is not in the scene",
                      about);
          Mat4 bind = kIdentity4;
          if (skin.inverseBindMatrices != -1)
            for (int e = 0; e < 16; ++e)
              bind[static_cast<std::size_t>(e)] = Finite(Component(inverse, j, e), "an inverse bind matrix", about);
          joint_matrices.push_back(Multiply(doc.nodes[joint].world, bind));
          joint_nodes.push_back(skin.joints[j]);
        }
      }
      for (const auto& primitive : source.primitives) {
        if (mesh.material.empty() && primitive.material >= 0)
          mesh.material = m.materials[static_cast<std::size_t>(primitive.material)].name;
        ReadPrimitive(m, primitive, joint_matrices, joint_nodes, doc.nodes[i].world, mesh, totals, about);
      }
      if (mesh.positions.empty()) throw Bad(err::kInvalidArgument, "it has no vertices", about);
      doc.meshes.push_back(std::move(mesh));
    }
    for (std::size_t a = 0; a < m.animations.size(); ++a) doc.animations.push_back(ReadAnimation(m, a));
    return doc;
  });
}

}  // namespace mervane
