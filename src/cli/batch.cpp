#include "cli/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <stop_token>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "cli/console_prompts.h"
#include "files/textfile.h"
#include "formats/formats.h"
#include "gltf/glb_file.h"
#include "model/guard.h"
#include "model/paths.h"

namespace mervane {
namespace {

constexpr std::size_t kCommitThreads = 8;

struct Job {
  std::string source;
  const Format* from = nullptr;
  std::optional<SkinModel> model;  // already read: one skin of a file of several
  std::string target;
  std::string message;  // what the user is told when it fails
  StagedFiles staged;
  bool failed = false;
};

// A source already in the target format: skipped, nothing written.
bool AlreadyThere(const Job& job) { return PathKey(job.target) == PathKey(job.source); }

std::vector<std::string> CollectSources(const std::vector<std::string>& args) {
  std::vector<std::string> sources;
  for (const std::string& arg : args) {
    if (IsFolder(arg)) {
      std::vector<std::string> found;
      for (const std::string& name : OrdinaryFilesIn(arg))
        if (FormatOf(name)) found.push_back(JoinPath(arg, name));
      std::sort(found.begin(), found.end());
      sources.insert(sources.end(), found.begin(), found.end());
    } else if (FormatOf(arg)) {
      sources.push_back(arg);
    } else {
      throw BatchUsageError("\"" + arg + "\" is neither a folder nor a file ending in " + FormatExtensionsText());
    }
  }
  return sources;
}

std::vector<Job> PlanJobs(const BatchRequest& request, const Format& to) {
  std::vector<Job> jobs;
  auto target_of = [&](const std::string& source, const std::string& base_name) {
    const std::string name = base_name + "." + std::string(to.extension);
    return request.out ? JoinPath(*request.out, name) : FolderOf(source) + name;
  };
  for (const std::string& source : CollectSources(request.sources)) {
    Job job;
    job.source = source;
    job.from = FormatOf(source);
    job.target = target_of(source, FileNameOf(BasePathOf(source)));
    if (job.from->rigged) {
      // Its skins are known once it is read: one target each when several.
      std::ostringstream told;
      ConsolePrompts prompts(told, request.fix_normals, source + ": ");
      RiggedRead read;
      job.failed = RunReported(prompts, [&] { read = job.from->rigged->read(source, request.rig); }) ==
                   Outcome::Failed;
      if (const std::string note = ExtraInfluencesNote(read.extra_influences); !note.empty())
        prompts.ShowMessage(note, "");
      job.message = told.str();
      for (std::size_t m = 0; m < read.models.size(); ++m) {
        Job part;
        part.source = job.source;
        part.from = job.from;
        part.target = job.target;
        part.message = job.message;
        if (read.models.size() > 1) part.target = target_of(source, read.models[m].MeshName);
        part.model = std::move(read.models[m]);
        if (m > 0) part.message.clear();
        jobs.push_back(std::move(part));
      }
      if (job.failed) jobs.push_back(std::move(job));
      continue;
    }
    jobs.push_back(std::move(job));
  }
  // Nothing may write a file that another file of the call writes or reads.
  // A file may be read by several sources (Body.SPJ and Body.spj share Body.obj on a disk that
  // tells case apart), and each of them must be protected.
  std::multimap<std::string, std::size_t> readers;
  std::map<std::string, std::size_t> writers;
  for (std::size_t i = 0; i < jobs.size(); ++i)
    for (const std::string& read : FilesWrittenBy(jobs[i].source)) readers.emplace(PathKey(read), i);
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (jobs[i].failed || AlreadyThere(jobs[i])) continue;
    for (const std::string& written : FilesWrittenBy(jobs[i].target)) {
      const std::string key = PathKey(written);
      const auto [it, fresh] = writers.emplace(key, i);
      if (!fresh)
        throw BatchUsageError("\"" + jobs[it->second].source + "\" and \"" + jobs[i].source +
                              "\" would both write " + written);
      for (auto [read, end] = readers.equal_range(key); read != end; ++read)
        if (read->second != i)
          throw BatchUsageError("\"" + jobs[i].source + "\" would overwrite \"" + jobs[read->second].source +
                                "\", which the same call converts");
    }
  }
  return jobs;
}

// Reads the source and writes its target's files beside their targets,
// not yet flushed nor in place.
void Convert(Job& job, const Format& to, const BatchRequest& request, const FolderFiles& folder) {
  if (job.failed) return;  // its source could not be read
  std::ostringstream told;
  ConsolePrompts prompts(told, request.fix_normals, job.source + ": ");
  SkinModel model;
  bool ok = true;
  if (job.model) model = std::move(*job.model);
  else ok = job.from->load(model, prompts, job.source) == Outcome::Succeeded;
  if (ok) {
    ok = RunReported(prompts, [&] {
           RigContext rig = request.rig;
           rig.folders.push_back(FolderOf(job.source));
           const std::vector<OutputFile> files =
               to.rigged ? to.rigged->render({&model, 1}, job.target, rig).files : to.render(model, job.target, folder);
           std::vector<FileToWrite> writes;
           for (const OutputFile& file : files) writes.push_back({file.path, file.bytes});
           job.staged = StageFiles(writes, Flush::Later);
         }) == Outcome::Succeeded;
  }
  job.failed = !ok;
  job.message += told.str();
}

// Runs fn(0) to fn(count - 1) on the given number of threads.
template <typename Fn>
void ParallelFor(std::size_t count, std::size_t threads, Fn&& fn) {
  std::atomic<std::size_t> next{0};
  std::vector<std::jthread> pool;
  for (std::size_t t = 0; t < std::min(threads, count); ++t)
    pool.emplace_back([&] {
      for (std::size_t k; (k = next++) < count;) fn(k);
    });
}

}  // namespace

int RunBatch(const BatchRequest& request, std::ostream& out, std::ostream& err, bool terminal) {
  const Format* to = FormatOf("." + request.to);
  if (!to) throw BatchUsageError("--to takes one of " + FormatExtensionsText() + " without the dot");
  if (request.out) {
    try {
      MakeFolders(*request.out);
    } catch (const Failure&) {
      // told below, as a folder that cannot be made
    }
    if (!IsFolder(*request.out))
      throw BatchUsageError("the output folder \"" + *request.out + "\" cannot be made");
  }
  std::vector<Job> jobs = PlanJobs(request, *to);

  std::vector<std::size_t> work;
  std::size_t skipped = 0;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (AlreadyThere(jobs[i])) ++skipped;
    else work.push_back(i);
  }

  std::atomic<std::size_t> done{0};
  std::jthread progress;
  if (terminal)
    progress = std::jthread([&](std::stop_token stop) {
      std::mutex mutex;
      std::condition_variable_any tick;
      std::unique_lock lock(mutex);
      while (!tick.wait_for(lock, stop, std::chrono::milliseconds(100), [] { return false; }) &&
             !stop.stop_requested())
        err << "\rconverting " << done << " of " << work.size() << std::flush;
    });
  // Each target folder is listed once, for all its projects' textures.
  std::map<std::string, FolderFiles> listings;
  for (std::size_t i : work) {
    const std::string folder = FolderOf(jobs[i].target);
    if (!listings.contains(folder)) listings.emplace(folder, FolderFiles(folder));
  }
  ParallelFor(work.size(), std::max(1u, std::thread::hardware_concurrency()), [&](std::size_t k) {
    Job& job = jobs[work[k]];
    Convert(job, *to, request, listings.at(FolderOf(job.target)));
    ++done;
  });
  if (progress.joinable()) {
    progress.request_stop();
    progress.join();
  }

  // One flush for every staged file.
  std::set<std::string> folders;
  for (std::size_t i : work)
    if (!jobs[i].failed) folders.insert(FolderOf(jobs[i].target));
  std::optional<Failure> flush_failure;
  try {
    FlushFolders(std::vector<std::string>(folders.begin(), folders.end()));
  } catch (const Failure& failure) {
    flush_failure = failure;
  }
  // Each set goes in place. Renaming over a file can wait on the disk
  // (freeing its blocks), so several wait at once.
  ParallelFor(work.size(), kCommitThreads, [&](std::size_t k) {
    Job& job = jobs[work[k]];
    if (job.failed) return;
    std::ostringstream told;
    ConsolePrompts prompts(told, std::nullopt, job.source + ": ");
    job.failed = RunReported(prompts, [&] {
                   if (flush_failure) throw *flush_failure;
                   job.staged.Commit();
                 }) == Outcome::Failed;
    job.message += told.str();
  });
  if (terminal) err << "\r\x1b[K";
  std::size_t converted = 0, failed = 0;
  for (std::size_t i : work) {
    // A converted file may bring a note (a .glb's vertices with more than two bones).
    err << jobs[i].message;
    if (jobs[i].failed) ++failed;
    else ++converted;
  }
  out << "converted " << converted << ", failed " << failed << ", skipped " << skipped << "\n";
  return failed ? 1 : 0;
}

}  // namespace mervane
