// A sync of an empty book from the test server's address book (2,480 cards), and a
// second sync where nothing changed, through the program's own client, model and the
// real engine, as pbtool and the dialog run them. Each line splits the time into the
// request (the listing and the cards' transfer), the parse of the cards, the plan and
// its application. The first sync leaves the cards' ETags and the sync token in a cache,
// as pbtool's does, which the second reads. Run by bench/carddav/run, which starts the
// server:
//   carddav_bench.exe <address book URL> <user> <password> [<CA certificate, DER> [runs]]
#include <windows.h>
#include <commctrl.h>
#include <wincrypt.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/AppGlobals.h"
#include "carddav/AddressBook.h"
#include "controls/MessageDialog.h"
#include "data/CPhonebook.h"
#include "intake/Applier.h"
#include "mainwindow/ListViewUIControl.h"
#include "resources/resource.h"
#include "resources/text_ids.h"
#include "util/Handles.h"
#include "util/TextResourceLoader.h"

namespace {

double Ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

CMString DistPath(const wchar_t* relative) {
    std::string dist = PBE_DIST_DIR;
    std::wstring dir = dist[0] == '/' ? L"Z:" : L"";
    for (char c : dist) dir.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return CMString(dir) + L"\\" + relative;
}

INT_PTR CALLBACK Proc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The test server's authority, trusted as an administrator trusts one.
bool Trust(const wchar_t* path) {
    UniqueFile in(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    BYTE der[16384];
    DWORD size = 0;
    if (!in.Get() || in.Get() == INVALID_HANDLE_VALUE || !ReadFile(in.Get(), der, sizeof der, &size, nullptr)) return false;
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (!root) return false;
    const bool added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der, size, CERT_STORE_ADD_USE_EXISTING,
                                                        nullptr);
    CertCloseStore(root, 0);
    return added;
}

// A book open in a model whose main list is the main dialog's list view.
struct Book {
    UniqueWindow dialog;
    ListViewUIControl list{IDC_LIST};
    std::unique_ptr<CPhonebook> model;

    explicit Book(const CMString& path) {
        DeleteFileW(path.c_str());
        dialog.Reset(CreateDialogParamW(app::Instance(), MAKEINTRESOURCEW(IDD_MAIN), nullptr, Proc, 0));
        list.AttachToDialog(dialog.Get());
        model = std::make_unique<CPhonebook>(dialog.Get());
        model->AttachMainList(&list);
        if (!model->Database().Open(path, 0, 0)) {
            fprintf(stderr, "carddav_bench: cannot open %ls\n", path.c_str());
            exit(1);
        }
    }
};

struct Figures {
    double list = 0, fetch = 0, parse = 0, plan = 0, apply = 0, total = 0;
    size_t added = 0, unchanged = 0, removed = 0, cached = 0;
};

// One sync of the book from the address book, timed.
bool Sync(CPhonebook& model, const carddav::Connection& connection, Figures& f) {
    f = Figures();
    const delimited::CharacterRules rules = {app::Text(IDS_FAX_CHARS), app::Text(IDS_MAILBOX_CHARS)};
    const auto start = std::chrono::steady_clock::now();
    const carddav::BookRead read = carddav::ReadAddressBook(connection, rules);
    if (read.fault != carddav::Fault::None) {
        fprintf(stderr, "carddav_bench: %s\n",
                carddav::FaultText(read.fault, read.code ? read.code : static_cast<uint32_t>(read.status), connection,
                                   read.cards - read.failedCards, read.cards)
                    .ToUtf8()
                    .c_str());
        return false;
    }
    intake::Options options;
    options.mode = intake::Mode::Sync;
    const intake::Outcome outcome = intake::Applier(model).Run(read.read, options);
    f.total = Ms(start);
    f.list = read.listMs;
    f.fetch = read.fetchMs;
    f.cached = read.cachedCards;
    f.parse = read.parseMs;
    f.plan = outcome.planMs;
    f.apply = outcome.applyMs;
    f.added = outcome.counts.imported;
    f.unchanged = outcome.counts.unchanged;
    f.removed = outcome.counts.removed;
    if (outcome.plan.refusal != intake::Refusal::None || (!outcome.stored && f.added + f.removed > 0)) {
        fprintf(stderr, "carddav_bench: the sync was refused or not stored\n");
        return false;
    }
    return true;
}

void Print(const char* what, const Figures& f) {
    printf("%s: %.0f ms (request %.0f: list %.0f, fetch %.0f; parse %.0f, plan %.0f, apply %.0f); %zu added, "
           "%zu unchanged, %zu removed, %zu cards from the cache\n",
           what, f.total, f.list + f.fetch, f.list, f.fetch, f.parse, f.plan, f.apply, f.added, f.unchanged, f.removed,
           f.cached);
    fflush(stdout);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: carddav_bench <address book URL> <user> <password> [<CA, DER> [runs]]\n");
        return 2;
    }
    app::SetInstance(GetModuleHandleW(nullptr));
    SetMessageSink([](const CMString&, const CMString& text, UINT) {
        fprintf(stderr, "carddav_bench: %s\n", text.ToUtf8().c_str());
        return IDOK;
    });
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    if (!TextResourceLoader::Initialize(DistPath(L"Morva\\Language Data\\V5.0\\en-US\\m2txtZY.dll"), true)) {
        fprintf(stderr, "carddav_bench: no language library\n");
        return 1;
    }
    carddav::Connection connection;
    if (!carddav::ParseUrl(argv[1], connection.url)) {
        fprintf(stderr, "carddav_bench: not an address book's URL\n");
        return 2;
    }
    connection.user = argv[2];
    connection.password = argv[3];
    connection.timeoutSeconds = 120;
    if (argc > 4 && *argv[4] && !Trust(argv[4])) {
        fprintf(stderr, "carddav_bench: cannot trust %ls\n", argv[4]);
        return 1;
    }
    const int runs = argc > 5 ? std::max(1, _wtoi(argv[5])) : 3;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const CMString folder = CMString(temp) + CMString::Formatted(L"pbe-carddav-bench-%lu\\", GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);

    std::vector<double> first, again;
    for (int run = 0; run < runs; ++run) {
        const CMString path = folder + CMString::Formatted(L"book-%d.mpb2", run);
        connection.cacheFile = (folder + CMString::Formatted(L"book-%d.cards", run)).str();
        DeleteFileW(connection.cacheFile.c_str());
        {
            Book book(path);
            Figures f;
            if (!Sync(*book.model, connection, f)) return 1;
            Print("sync of an empty book", f);
            first.push_back(f.total);
            if (!Sync(*book.model, connection, f)) return 1;
            Print("second sync, nothing changed", f);
            again.push_back(f.total);
        }
        DeleteFileW(path.c_str());
        DeleteFileW(connection.cacheFile.c_str());
    }
    RemoveDirectoryW(folder.c_str());
    printf("median of %d runs: sync of an empty book %.0f ms (target 1000), second sync %.0f ms (target 300)\n", runs,
           Median(first), Median(again));
    return 0;
}
