#pragma once
// The SimConnect protocol as the program's client speaks it: result codes, identifiers, and the
// layouts of the received messages that the program reads. Every multi-byte field on the wire is
// little-endian; strings are 8-bit characters in fixed-width fields, NUL-terminated.
// The message layouts below match the wire byte for byte (checked by static_asserts); a message
// is read by casting the dispatched bytes, after checking its size with gf_scMessageAs.

#include <bit>
#include <cstdint>

// Received messages are read in place, so the host must share the wire's byte order.
static_assert(std::endian::native == std::endian::little);

namespace qmx {

using HRESULT = std::int32_t;
using HANDLE = void*;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
// A string that does not fit its field (the Windows error "insufficient buffer" as an HRESULT).
inline constexpr HRESULT E_INSUFFICIENT_BUFFER = static_cast<HRESULT>(0x8007007Au);

constexpr bool SUCCEEDED(HRESULT result) { return result >= 0; }
constexpr bool FAILED(HRESULT result) { return result < 0; }

// Failure statuses that a broken transport stores; every API call on it returns the status.
inline constexpr HRESULT kStatusRemoteClosed = static_cast<HRESULT>(0xC000013Eu);     // the peer closed
inline constexpr HRESULT kStatusRemoteDisconnect = static_cast<HRESULT>(0xC000013Cu);
inline constexpr HRESULT kStatusPipeBroken = static_cast<HRESULT>(0xC000014Bu);
inline constexpr HRESULT kStatusConnectionReset = static_cast<HRESULT>(0xC000020Du);
inline constexpr HRESULT kStatusCancelled = static_cast<HRESULT>(0xC0000120u);

inline constexpr std::uint32_t kSimConnectProtocol = 35;
inline constexpr std::uint32_t SIMCONNECT_UNUSED = 0xFFFFFFFFu;
inline constexpr std::uint32_t SIMCONNECT_OBJECT_ID_USER = 0;
inline constexpr std::uint32_t SIMCONNECT_GROUP_PRIORITY_HIGHEST = 1;

enum SIMCONNECT_RECV_ID : std::uint32_t {
    SIMCONNECT_RECV_ID_NULL = 0,
    SIMCONNECT_RECV_ID_EXCEPTION = 1,
    SIMCONNECT_RECV_ID_OPEN = 2,
    SIMCONNECT_RECV_ID_QUIT = 3,
    SIMCONNECT_RECV_ID_EVENT = 4,
    SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE = 5,
    SIMCONNECT_RECV_ID_EVENT_FILENAME = 6,
    SIMCONNECT_RECV_ID_EVENT_FRAME = 7,
    SIMCONNECT_RECV_ID_SIMOBJECT_DATA = 8,
    SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE = 9,
    SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID = 12,
    SIMCONNECT_RECV_ID_CLIENT_DATA = 16,
};

enum SIMCONNECT_DATATYPE : std::uint32_t {
    SIMCONNECT_DATATYPE_INVALID = 0,
    SIMCONNECT_DATATYPE_INT32 = 1,
    SIMCONNECT_DATATYPE_INT64 = 2,
    SIMCONNECT_DATATYPE_FLOAT32 = 3,
    SIMCONNECT_DATATYPE_FLOAT64 = 4,
    SIMCONNECT_DATATYPE_STRING8 = 5,
    SIMCONNECT_DATATYPE_STRING32 = 6,
    SIMCONNECT_DATATYPE_STRINGV = 11,
};

enum SIMCONNECT_EXCEPTION : std::uint32_t {
    SIMCONNECT_EXCEPTION_NONE = 0,
    SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID = 3,
    SIMCONNECT_EXCEPTION_VERSION_MISMATCH = 5,
    SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS = 11,
    SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE = 19,
    SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED = 22,
    SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED = 23,
    SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE = 24,
};

enum SIMCONNECT_PERIOD : std::uint32_t {
    SIMCONNECT_PERIOD_NEVER = 0,
    SIMCONNECT_PERIOD_ONCE = 1,
    SIMCONNECT_PERIOD_VISUAL_FRAME = 2,
    SIMCONNECT_PERIOD_SIM_FRAME = 3,
    SIMCONNECT_PERIOD_SECOND = 4,
};

enum SIMCONNECT_SIMOBJECT_TYPE : std::uint32_t {
    SIMCONNECT_SIMOBJECT_TYPE_USER = 0,
    SIMCONNECT_SIMOBJECT_TYPE_ALL = 1,
    SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT = 2,
};

// The initial position of a new AI object: 56 bytes on the wire.
struct SIMCONNECT_DATA_INITPOSITION {
    double Latitude;  // degrees
    double Longitude; // degrees
    double Altitude;  // feet
    double Pitch;     // degrees
    double Bank;      // degrees
    double Heading;   // degrees
    std::uint32_t OnGround; // 0 or 1
    std::uint32_t Airspeed; // knots
};

// Header of every received message.
struct SIMCONNECT_RECV {
    std::uint32_t dwSize; // of the whole message
    std::uint32_t dwVersion;
    std::uint32_t dwID; // SIMCONNECT_RECV_ID
};

struct SIMCONNECT_RECV_EXCEPTION : SIMCONNECT_RECV {
    std::uint32_t dwException; // SIMCONNECT_EXCEPTION
    std::uint32_t dwSendID;    // of the offending request packet
    std::uint32_t dwIndex;     // of the offending parameter
};

struct SIMCONNECT_RECV_OPEN : SIMCONNECT_RECV {
    char szApplicationName[256];
    std::uint32_t dwApplicationVersionMajor;
    std::uint32_t dwApplicationVersionMinor;
    std::uint32_t dwApplicationBuildMajor;
    std::uint32_t dwApplicationBuildMinor;
    std::uint32_t dwSimConnectVersionMajor;
    std::uint32_t dwSimConnectVersionMinor;
    std::uint32_t dwSimConnectBuildMajor;
    std::uint32_t dwSimConnectBuildMinor;
    std::uint32_t dwReserved1;
    std::uint32_t dwReserved2;
};

using SIMCONNECT_RECV_QUIT = SIMCONNECT_RECV;

struct SIMCONNECT_RECV_EVENT : SIMCONNECT_RECV {
    std::uint32_t uGroupID;
    std::uint32_t uEventID;
    std::uint32_t dwData;
};

struct SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE : SIMCONNECT_RECV_EVENT {
    std::uint32_t eObjType; // SIMCONNECT_SIMOBJECT_TYPE; dwData is the object id
};

struct SIMCONNECT_RECV_EVENT_FILENAME : SIMCONNECT_RECV_EVENT {
    char szFileName[260];
    std::uint32_t dwFlags;
};

struct SIMCONNECT_RECV_EVENT_FRAME : SIMCONNECT_RECV_EVENT {
    float fFrameRate;
    float fSimSpeed;
};

// Object data: the datums of the definition follow from offset 40 in their order (FLOAT64 and
// INT64 as 8 bytes, STRING32 as 32 bytes, STRINGV as a NUL-terminated string); dwData is the
// first four bytes of them.
struct SIMCONNECT_RECV_SIMOBJECT_DATA : SIMCONNECT_RECV {
    std::uint32_t dwRequestID;
    std::uint32_t dwObjectID;
    std::uint32_t dwDefineID;
    std::uint32_t dwFlags;
    std::uint32_t dwentrynumber;
    std::uint32_t dwoutof;
    std::uint32_t dwDefineCount;
    std::uint32_t dwData;
};

using SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE = SIMCONNECT_RECV_SIMOBJECT_DATA;

inline constexpr std::uint32_t kSimObjectDataOffset = 40;

static_assert(sizeof(SIMCONNECT_DATA_INITPOSITION) == 56);
static_assert(sizeof(SIMCONNECT_RECV) == 12);
static_assert(sizeof(SIMCONNECT_RECV_EXCEPTION) == 24);
static_assert(sizeof(SIMCONNECT_RECV_OPEN) == 308);
static_assert(sizeof(SIMCONNECT_RECV_EVENT) == 24);
static_assert(sizeof(SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE) == 28);
static_assert(sizeof(SIMCONNECT_RECV_EVENT_FILENAME) == 288);
static_assert(sizeof(SIMCONNECT_RECV_EVENT_FRAME) == 32);
static_assert(sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) == 44);

// The message as a T when it is long enough to hold one, else null: read no field of a message
// without this test, so that a short message from the simulator is never read past its end.
template <typename T>
const T* gf_scMessageAs(const SIMCONNECT_RECV* message, std::uint32_t size)
{
    return message != nullptr && size >= sizeof(T) ? static_cast<const T*>(message) : nullptr;
}

} // namespace qmx
