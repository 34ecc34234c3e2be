#pragma once
// The export set's behaviour on the caller's header and record blocks, independent
// of the platform: the DLL supplies file opening and locking through Platform, tests
// and the fuzzer supply memory files. Both sets (wide and ANSI) share this code.
#include <cstdint>
#include <memory>
#include <string>

#include "FileIo.h"
#include "pbabi/EngineAbi.h"

namespace pbcore {

class Platform {
public:
    virtual ~Platform() = default;
    struct Path {
        const pbabi::WChar* wide = nullptr;  // one of the two is set
        const char* narrow = nullptr;
    };
    // Opens a file and returns its handle value. Writable opens exclude other writers;
    // with create a missing file is made (*created tells), with truncate it is emptied.
    virtual int Open(const Path& path, bool writable, bool create, bool truncate, bool* created, intptr_t* handle) = 0;
    virtual void Close(intptr_t handle) = 0;
    // A view of an open handle; it does not close the handle.
    virtual std::unique_ptr<FileIo> Attach(intptr_t handle) = 0;
    // Serializes whole calls across processes: shared for readers, exclusive for writers.
    virtual bool Lock(intptr_t handle, bool exclusive) = 0;
    virtual void Unlock(intptr_t handle) = 0;
    // The value a header holds for "no handle".
    virtual intptr_t InvalidHandle() const { return -1; }
};

namespace api {

using namespace pbabi;

int CreateW(Platform& pf, PbHeaderW* h, const WChar* path, int* code);
int OpenW(Platform& pf, PbHeaderW* h, const WChar* path, uint8_t mode, int* code);
int FreePbeW(PbHeaderW* h, PBEW* r, int* code);
int FindW(Platform& pf, PbHeaderW* h, PBEW* r, uint16_t* cursor, int* done, int* code);
intptr_t Find2W(Platform& pf, PbHeaderW* h, PBEW* r, const PbTermSlotW* terms, uint16_t* cursor, int* done);
int AddW(Platform& pf, PbHeaderW* h, PBEW* r, int* code);
int GetW(Platform& pf, PbHeaderW* h, PBEW* r, const WChar* name, const WChar* fax, uint16_t id, int* code);
int AddToGroupW(Platform& pf, PbHeaderW* h, uint16_t group, uint16_t entry, int* code);
int ModifyW(Platform& pf, PbHeaderW* h, uint16_t id, PBEW* r, int* code);
int RemoveW(Platform& pf, PbHeaderW* h, uint16_t id, int* code);
int RemoveFromGroupW(Platform& pf, PbHeaderW* h, uint16_t group, uint16_t entry, int* code);

int CreateA(Platform& pf, PbHeaderA* h, const char* path, int* code);
int OpenA(Platform& pf, PbHeaderA* h, const char* path, uint8_t mode, int* code);
int FreePbeA(PbHeaderA* h, PBEA* r, int* code);
int FindA(Platform& pf, PbHeaderA* h, PBEA* r, uint16_t* cursor, int* done, int* code);
intptr_t Find2A(Platform& pf, PbHeaderA* h, PBEA* r, const PbTermSlotA* terms, uint16_t* cursor, int* done);
int AddA(Platform& pf, PbHeaderA* h, PBEA* r, int* code);
int GetA(Platform& pf, PbHeaderA* h, PBEA* r, const char* name, const char* fax, uint16_t id, int* code);
int AddToGroupA(Platform& pf, PbHeaderA* h, uint16_t group, uint16_t entry, int* code);
int ModifyA(Platform& pf, PbHeaderA* h, uint16_t id, PBEA* r, int* code);
int RemoveA(Platform& pf, PbHeaderA* h, uint16_t id, int* code);
int RemoveFromGroupA(Platform& pf, PbHeaderA* h, uint16_t group, uint16_t entry, int* code);

// Batches and the change counter (exports beyond the fixed eleven of each set).
int BeginChangesW(Platform& pf, PbHeaderW* h, int* code);
int EndChangesW(Platform& pf, PbHeaderW* h, int* code);
int ChangeCountW(Platform& pf, PbHeaderW* h, uint64_t* count, int* code);
int BeginChangesA(Platform& pf, PbHeaderA* h, int* code);
int EndChangesA(Platform& pf, PbHeaderA* h, int* code);
int ChangeCountA(Platform& pf, PbHeaderA* h, uint64_t* count, int* code);
int Find3W(Platform& pf, PbHeaderW* h, PBEW* r, const PbTermSlotW* terms, uint16_t* cursor, int* done, int* code);
int Find3A(Platform& pf, PbHeaderA* h, PBEA* r, const PbTermSlotA* terms, uint16_t* cursor, int* done, int* code);

// Drops every kept image and open batch (a fresh start for each fuzz input).
void ForgetKeptImages();

}  // namespace api
}  // namespace pbcore
