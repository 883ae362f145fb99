// PCXStream: run-length decoding of an 8-bit PCX image's pixel bytes, one byte per call.
#include "formats/PCXStream.h"

namespace orv {

TPCXByteStream::TPCXByteStream(std::unique_ptr<TStream> source) : m_Source(std::move(source))
{
    m_Source->SetPosition(PCXHeaderSize);
}

uint8_t TPCXByteStream::ReadByte()
{
    if (m_RepeatCount >= 1) {
        --m_RepeatCount;
        return m_Value;
    }
    // At the end of the source the reads deliver nothing and m_Value keeps its content.
    m_Source->Read(&m_Value, 1);
    if (m_Value > PCXRunMarker) {
        m_RepeatCount = (m_Value & PCXRunCountMask) - 1;
        m_Source->Read(&m_Value, 1);
    }
    return m_Value;
}

}  // namespace orv
