// The WOFF2 metadata display: the brotli-compressed metadata block of a WOFF2 file shown in the
// metadata viewer before the file is decoded.
#include "EngineMessages.h"
#include "FileIO.h"
#include "Limits.h"
#include "MessageBox.h"
#include "MetaDataViewer.h"
#include "WOFF.h"

#include <brotli/decode.h>

BOOL CWOFF::ShowWOFF2MetaData()
{
    ReadWOFF2Header(m_pFile);
    const DWORD metaLength = m_woffHeader.metaLength;
    const DWORD metaOrigLength = m_woffHeader.metaOrigLength;
    if (metaLength == 0) return TRUE;
    // Only a block beyond the file or beyond the cap is refused; below the cap, one that does not
    // decompress to what it claims gets its message and is shown all the same.
    if (ULONGLONG(m_woffHeader.metaOffset) + metaLength > m_pFile->GetLength() || metaOrigLength > kMaxMetaDataSize)
        return Refuse(kMsgWOFFBroken);
    std::unique_ptr<BYTE[]> packed = AllocBuffer(metaLength);
    m_pFile->Seek(m_woffHeader.metaOffset, CFile::begin);
    if (m_pFile->Read(packed.get(), metaLength) != metaLength) return Refuse(kMsgWOFFBroken);
    // Zeroed: what a failed decompression leaves unwritten is shown as zeros, and costs nothing
    // when a few bytes claim the cap.
    const ZeroedBytes text = AllocZeroed(metaOrigLength);
    size_t length = metaOrigLength;
    if (BrotliDecoderDecompress(metaLength, packed.get(), &length, text.get()) != BROTLI_DECODER_RESULT_SUCCESS ||
        length != metaOrigLength)
        AfxMessageBox(kMsgMetaDataExpandFailed);
    packed.reset();
    return RunMetaDataViewer(text.get(), metaOrigLength) == IDOK;
}
