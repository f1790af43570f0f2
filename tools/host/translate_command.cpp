// `translate`: feeds the input to the engine chunk by chunk through the tool's
// own source and sink, and prints what comes back.
#include <vector>

#include "backend/pipeline_table.h"
#include "platform/unique_bstr.h"
#include "server/registry_paths.h"
#include "text/exceptions.h"
#include "tools/host/backend_probe.h"
#include "tools/host/chunking.h"
#include "tools/host/commands.h"
#include "tools/host/engine_activation.h"
#include "tools/host/engine_registry.h"
#include "tools/host/exit_codes.h"
#include "tools/host/host_objects.h"
#include "tools/host/input_file.h"
#include "tools/host/job_outcome.h"
#include "tools/host/markup.h"
#include "tools/host/progress_meter.h"
#include "tools/host/utf8_text.h"

namespace host {
namespace {

std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string OptionsText(const HostOptions& options) {
    return u"<t:Option Name=\"SourceLanguage\">" + Wide(options.from) +
           u"</t:Option><t:Option Name=\"TranslationLanguage\">" + Wide(options.to) +
           u"</t:Option>";
}

bool HasPipeline(const HostOptions& options) {
    try {
        PipelinePath(Wide(options.from), Wide(options.to));
        return true;
    } catch (const QuillonException&) {
        return false;
    }
}

bool IsBlank(std::u16string_view text) {
    return text.find_first_not_of(u" \t\r\n") == std::u16string_view::npos;
}

// Chooses the ProgID: the option's, or the registered entry for the direction.
// Returns an exit code other than kExitOk when there is none.
int ChooseProgId(const HostOptions& options, HostIo& io, std::string& progId) {
    if (!options.progId.empty()) {
        progId = options.progId;
        return kExitOk;
    }
    const EngineList list = ReadEngineList();
    if (list.entries.empty()) {
        Complain(io, std::string("no translation engines are registered under HKLM\\") +
                         server::kEnginesKeyPath + "; register the server with /RegServer");
        return kExitNotRegistered;
    }
    const EngineEntry* entry = FindEngine(list, options.from, options.to);
    if (entry == nullptr) {
        std::string known;
        for (const EngineEntry& other : list.entries) {
            known += (known.empty() ? "" : ", ") + other.source + "->" + other.target;
        }
        Complain(io, "no registered engine translates " + options.from + " to " + options.to +
                         " (registered: " + known + ")");
        return kExitNotRegistered;
    }
    if (entry->suppress && *entry->suppress != 0) {
        Complain(io, "note: \"" + entry->name +
                         "\" is marked Suppress (the back end's model folder for it is "
                         "missing); translating anyway");
    }
    progId = entry->progId;
    return kExitOk;
}

}  // namespace

int RunTranslate(const HostOptions& options, HostIo& io) {
    std::u16string text;
    std::string error;
    if (!ReadInputText(options.input, io.in, text, error)) {
        Complain(io, error);
        return kExitUnreadableInput;
    }
    const ChunkLayout layout = SplitIntoChunks(text, options.chunk);

    std::string progId;
    if (const int code = ChooseProgId(options, io, progId); code != kExitOk) {
        return code;
    }
    Activation activation = ActivateEngine(progId);
    if (activation.error != ActivationError::None) {
        Complain(io, activation.message);
        return activation.error == ActivationError::NotRegistered ? kExitNotRegistered
                                                                  : kExitActivationFailed;
    }
    // The engine answers a missing back end with empty translations; say it plainly.
    if (!layout.chunks.empty() && HasPipeline(options) && !BackendListening()) {
        Complain(io, "back end down: nothing listens on " + BackendEndpoint() +
                         "; start the back end (for a demo: qn-demo-backend) and try again");
        return kExitBackendDown;
    }

    ProgressMeter progress(
        io.err, io.errIsTerminal && IsLongInput(layout.chunks.size(), layout.TotalChunkChars()),
        layout.chunks.size(), layout.TotalChunkChars());
    JobRecord record;
    if (!options.markup) {
        io.out << EncodeUtf8(layout.gaps[0]);
    }
    auto handle = [&](std::u16string_view markup) {
        const std::size_t index = record.chunksWritten++;
        const std::size_t number = index + 1;
        const bool known = index < layout.chunks.size();
        const ChunkMarkup parsed = ParseChunkMarkup(markup);
        progress.Clear();
        for (const std::u16string& message : parsed.errors) {
            io.err << "qn-host: chunk " << number << ": " << EncodeUtf8(message) << '\n';
        }
        if (!parsed.errors.empty()) {
            ++record.chunksWithErrors;
        } else if (!parsed.wellFormed) {
            io.err << "qn-host: chunk " << number << ": unexpected markup from the engine\n";
            ++record.chunksWithErrors;
        } else if (parsed.translation.empty() && known && !IsBlank(layout.chunks[index])) {
            record.emptyChunks.push_back(number);
        }
        io.err.flush();
        if (options.markup) {
            io.out << EncodeUtf8(markup);
        } else {
            io.out << EncodeUtf8(parsed.wellFormed ? parsed.translation : std::u16string(markup));
            if (known) {
                io.out << EncodeUtf8(layout.gaps[index + 1]);
            }
        }
        io.out.flush();
        if (!io.out) {
            record.outputFailed = true;
            return false;
        }
        progress.ChunkDone(known ? layout.chunks[index].size() : 0);
        return true;
    };

    auto* source = new ChunkSource(layout.chunks);
    auto* sink = new MarkupSink(handle);
    ComPtr<IDispatch> sourceRef = ComPtr<IDispatch>::Retain(source);
    ComPtr<IDispatch> sinkRef = ComPtr<IDispatch>::Retain(sink);
    UniqueBstr optionsText = CopyToBstr(OptionsText(options));
    const HRESULT result =
        activation.engine->Translate(optionsText.get(), sourceRef.get(), sinkRef.get());
    progress.Finish();
    const std::optional<bool> outcome = sink->Outcome();

    if (const std::optional<JobFailure> failure =
            JobFailed(result, outcome, record, layout.chunks.size())) {
        Complain(io, failure->message);
        return failure->code;
    }
    if (!record.emptyChunks.empty()) {
        if (!BackendListening()) {
            Complain(io,
                     "back end down: " + BackendEndpoint() + " stopped answering during the job (" +
                         std::to_string(record.emptyChunks.size()) + " chunks came back empty)");
            return kExitBackendDown;
        }
        for (std::size_t number : record.emptyChunks) {
            Complain(io, "chunk " + std::to_string(number) + ": the back end returned no text");
        }
    }
    const std::size_t faulty = record.chunksWithErrors + record.emptyChunks.size();
    if (faulty > 0) {
        Complain(io, std::to_string(faulty) + " of " + std::to_string(layout.chunks.size()) +
                         " chunks carried an error");
        return kExitChunkErrors;
    }
    return kExitOk;
}

}  // namespace host
