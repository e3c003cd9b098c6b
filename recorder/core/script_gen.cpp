#include "script_gen.h"

#include "desktop.h"
#include "errors.h"
#include "file_util.h"
#include "fs.h"
#include "operation_stream.h"
#include "profile.h"
#include "script_body.h"
#include "script_text.h"

namespace zvb {

PlaySettings play_settings_defaults() {
    PlaySettings s;
    s.double_click_interval = int32_t(double_click_time() / 2);
    s.window_operation_interval = 100;
    s.check_interval = 100;
    s.check_count = 50;
    s.wait_busy_interval = 5000;
    s.loop_interval = 0;
    return s;
}

PlaySettings play_settings_read(const char16_t* ini) {
    PlaySettings s = play_settings_defaults();
    const struct {
        const char16_t* key;
        int32_t* value;
    } keys[] = {
        {u"double_click_interval", &s.double_click_interval},
        {u"window_operation_interval", &s.window_operation_interval},
        {u"check_interval", &s.check_interval},
        {u"check_count", &s.check_count},
        {u"wait_busy_interval", &s.wait_busy_interval},
        {u"loop_interval", &s.loop_interval},
    };
    for (const auto& k : keys) *k.value = zv::profile_int(ini, u"PLAY", k.key, *k.value);
    return s;
}

namespace {

// A whole file's bytes; false with *error set when it cannot be read.
bool read_bytes(const char16_t* path, std::string* bytes, uint32_t* error) {
    zv::File* f = zv::file_open(path, zv::FileMode::kRead);
    if (!f) {
        *error = zv::fs_last_error();
        return false;
    }
    char buf[65536];
    size_t got = 0;
    bool ok;
    do {
        ok = zv::file_read(f, buf, sizeof buf, &got);
        bytes->append(buf, got);
    } while (ok && got == sizeof buf);
    if (!ok) *error = zv::fs_last_error();
    zv::file_close(f);
    return ok;
}

class ListSource : public OperationSource {
public:
    explicit ListSource(const OperationRecord* head) : at_(head) {}
    const OperationRecord* next(OperationRecord*) override {
        at_ = at_ ? at_->next : nullptr;
        return at_;
    }

private:
    const OperationRecord* at_;
};

class StreamSource : public OperationSource {
public:
    explicit StreamSource(OperationStream& stream) : stream_(stream) {}
    const OperationRecord* next(OperationRecord* spare) override { return stream_.next(spare) ? spare : nullptr; }

private:
    OperationStream& stream_;
};

// The body of a timeline streamed from its .zv file; false when the file
// cannot be opened or read to its end.
bool write_file_body(ScriptText& out, const ScenarioEntry& e, bool notify, int32_t start, const PlaySettings& play,
                     uint32_t* error) {
    OperationStream stream;
    if (!stream.open(e.path)) {
        *error = stream.error();
        return false;
    }
    StreamSource ops(stream);
    write_operation_body(out, e, ops, notify, start, play);
    *error = stream.error();
    return *error == 0;
}

class ScriptWriter {
public:
    ScriptWriter(ScriptText& out, const ScriptRequest& req) : out_(out), req_(req) {}

    // A timeline's file: the play loop around the body, with the given
    // operations or (ops null) those of the entry's .zv file.
    bool timeline(const ScenarioEntry& e, OperationSource* ops, uint32_t* error) {
        open_play(e);
        if (ops)
            write_operation_body(out_, e, *ops, req_.notify, req_.start_index, req_.play);
        else if (!write_file_body(out_, e, req_.notify, req_.start_index, req_.play, error))
            return false;
        close_play(e);
        return true;
    }

    // A group's file: its members nested inside its play loop.
    bool group(const ScenarioEntry& g, uint32_t* error) {
        if (!g.child || !g.child->next) {
            *error = kErrorNothingToPlay;
            return false;
        }
        open_play(g);
        if (!members(g.child, error)) return false;
        close_play(g);
        return true;
    }

private:
    void number_line(const char* head, int32_t n) {
        out_.put(head);
        out_.number(n);
        out_.put(")\r\n");
    }

    void open_play(const ScenarioEntry& e) {
        out_.put("#import(\"DESKOPS\")\r\n\r\n");
        if (e.repeat_override > 0) {
            out_.put("for (play_index = 0; play_index < ");
            out_.number(e.repeat_override);
            out_.put("; play_index++) {\r\n");
            return;
        }
        if (e.play_start_confirm)
            out_.put(
                "if (message_box(\"シナリオを再生します。\\n終了するまでマウス操作、キーボード操作を行わないようにし"
                "てください。\", \"シナリオの再生\", 0x1 | 0x40) != 1) {\r\n\texit\r\n}\r\n\r\n");
        out_.put("for (play_index = 0; play_index < ");
        out_.number(e.loop_count);
        out_.put("; play_index++) {\r\n\r\n");
    }

    void close_play(const ScenarioEntry& e) {
        if (e.repeat_override > 1 || e.loop_count > 1) number_line("sleep(", req_.play.loop_interval);
        out_.put("}\r\n");
        if (e.play_end_confirm) {
            number_line("sleep(", req_.play.window_operation_interval);
            out_.put("message_box(\"再生を終了しました。\", \"シナリオの再生\", 0x40)\r\n");
        }
    }

    // The loop of a nested member. Its variable's suffix numbers the loops
    // in the order they are written, so the text never depends on where
    // entries live in memory.
    void open_member_loop(const ScenarioEntry& m) {
        uint32_t suffix = ++loops_;
        out_.put("for (play_index_");
        out_.hex(suffix);
        out_.put(" = 0; play_index_");
        out_.hex(suffix);
        out_.put(" < ");
        out_.number(m.loop_count);
        out_.put("; play_index_");
        out_.hex(suffix);
        out_.put("++) {\r\n");
    }

    void close_member_loop(const ScenarioEntry& m) {
        if (m.loop_count > 1) number_line("sleep(", req_.play.loop_interval);
        out_.put("}\r\n");
    }

    // A name in a comment line: a line break would end the comment.
    void comment_name(const char* head, const ScenarioEntry& m) {
        out_.put(head);
        char16_t name[kNameUnits];
        for (size_t i = 0; i < kNameUnits; ++i) name[i] = m.name[i] == u'\r' || m.name[i] == u'\n' ? u' ' : m.name[i];
        out_.text(name, kNameUnits);
        out_.put("\r\n");
    }

    bool members(const ScenarioEntry* head, uint32_t* error) {
        for (const ScenarioEntry* m = head->next; m; m = m->next) {
            switch (m->type) {
            case kTypeGroup:
                if (!m->child) break;  // a member list that was never read
                open_member_loop(*m);
                if (!members(m->child, error)) return false;
                close_member_loop(*m);
                break;
            case kTypeScript: {
                comment_name("// Type: Script, Name: ", *m);
                std::string bytes;
                if (!read_bytes(m->path, &bytes, error)) return false;
                // A byte-order mark inside the script would not parse.
                size_t from = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
                out_.put(bytes.data() + from, bytes.size() - from);
                out_.put("\r\n");
                break;
            }
            case kTypeTimeline: {
                comment_name("// Type: Timeline, Name: ", *m);
                open_member_loop(*m);
                if (!write_file_body(out_, *m, req_.notify, 0, req_.play, error)) return false;
                close_member_loop(*m);
                break;
            }
            default: break;
            }
        }
        return true;
    }

    ScriptText& out_;
    const ScriptRequest& req_;
    uint32_t loops_ = 0;
};

// Opens the output, has `write` fill it, and puts it in place.
template <typename Write>
bool write_file(const char16_t* out, uint32_t* error, Write write) {
    AtomicFile file;
    uint32_t ignored;
    if (!error) error = &ignored;
    *error = 0;
    if (!file.open(out)) {
        *error = file.error();
        return false;
    }
    ScriptText text(&file);
    if (!write(text, error)) return false;
    if (!text.finish() || !file.commit()) {
        *error = file.error() ? file.error() : kErrorWriteFailed;
        return false;
    }
    return true;
}

}  // namespace

bool script_write(const ScenarioEntry* e, const ScriptRequest& req, const char16_t* out, uint32_t* error) {
    return write_file(out, error, [&](ScriptText& text, uint32_t* err) {
        switch (e->type) {
        case kTypeTimeline: return ScriptWriter(text, req).timeline(*e, nullptr, err);
        case kTypeScript: {
            std::string bytes;
            if (!read_bytes(e->path, &bytes, err)) return false;
            text.put(bytes.data(), bytes.size());
            return true;
        }
        case kTypeGroup: return ScriptWriter(text, req).group(*e, err);
        default: *err = kErrorNothingToPlay; return false;
        }
    });
}

bool script_write_records(const ScenarioEntry* e, const OperationRecord* head, const ScriptRequest& req,
                          const char16_t* out, uint32_t* error) {
    return write_file(out, error, [&](ScriptText& text, uint32_t* err) {
        ListSource ops(head);
        return ScriptWriter(text, req).timeline(*e, &ops, err);
    });
}

std::string script_text_of_records(const ScenarioEntry* e, const OperationRecord* head, const ScriptRequest& req) {
    ScriptText text;
    ListSource ops(head);
    uint32_t ignored;
    ScriptWriter(text, req).timeline(*e, &ops, &ignored);
    return text.str();
}

}  // namespace zvb
