/**
 * @file kvtlnk_ext.h
 * @brief kvtlnk extension: the image's records in and out as bytes, the records a calibration
 * result rests on, and the text of a result code.
 *
 * Calls for applications that keep the calibrator's records themselves (in files or an
 * archive) and give them back to the library to decode, without a calibrator or an upload:
 * @code{.c}
 * int32_t index = -1;
 * uint32_t rc = KVXloadRecord(KVX_RESULTS, kind, version, stamp, bytes, length, &index);
 * if (KVTLNK_FAILED(rc)) fprintf(stderr, "%u: %s\n", rc, KVXmessage(rc));
 * @endcode
 * The calls follow the conventions of kvtlnk.h: they return a result code of its table (or,
 * KVXmessage, a text), fill caller buffers only, and are called from one thread at a time. The
 * extension is exported by the shared library (libkvtlnk.so) and by the 64-bit Windows DLL;
 * the 32-bit drop-in DLL carries only the calls of kvtlnk.h. C99 and C++.
 */
#ifndef KVTLNK_KVTLNK_EXT_H
#define KVTLNK_KVTLNK_EXT_H

#include "kvtlnk/kvtlnk.h"

/**
 * @defgroup extension Extension
 * Records of the image as bytes, the records a result rests on, and result texts.
 *
 * A record is what the calibrator keeps: its kind, its version word, its date stamp and its
 * data bytes, exactly as an upload brings them in and a download sends them out. An
 * application that reads every record of both memories with KVXreadRecord, empties them with
 * KVXtruncate and loads the records again with KVXloadRecord, each memory in its order, has
 * the image it read: every MEM reading call decodes it as before. Records are added at the end
 * of their memory, so the indexes that records name (a test's strategy and setup, a result's
 * setup) hold when the memory is loaded from index 0. The standard strategies that MEMclear
 * lays down are records like any other: they are read and loaded with the rest. MEMstats gives
 * the number of records in each memory.
 * @code{.c}
 * static uint8_t data[KVX_RECORD_SIZE_MAX];
 * uint32_t procedure = 0, results = 0, i;
 * MEMstats(&procedure, &results);
 * for (i = 0; i < results; ++i) {
 *     uint32_t kind, version, length;
 *     uint8_t stamp[KVX_STAMP_SIZE];
 *     KVXreadRecord(KVX_RESULTS, (int32_t)i, &kind, &version, stamp, &length, data, sizeof data);
 *     keep(kind, version, stamp, data, length); // the application's own store
 * }
 * @endcode
 */

#ifdef __cplusplus
extern "C" {
#endif

/** @addtogroup extension
 * @{ */
/** The procedure memory: tasks, strategies, prompts, tests and their setups. */
#define KVX_PROCEDURE 1u
/** The results memory: calibration results, their tags and the setups they ran with. */
#define KVX_RESULTS 2u
/** The bytes of a date stamp: second, minute, hour, weekday (0 = Sunday), day, month and the
 * year less 1992, in this order, one byte each, as the calibrator keeps them. */
#define KVX_STAMP_SIZE 7
/** The most data bytes one record holds: a buffer of this size takes any record. */
#define KVX_RECORD_SIZE_MAX 64976u
/** KVXresultRecord: the setup the result ran with. */
#define KVX_ROLE_SETUP 0u
/** KVXresultRecord: the strategy whose points the result holds. */
#define KVX_ROLE_STRATEGY 1u
/** KVXresultRecord: the test (template) that made the result. */
#define KVX_ROLE_TEMPLATE 2u
/** KVXresultRecord: the setup the test names; the result's own setup is the calibrator's copy
 * of it in the results memory, or the same record. */
#define KVX_ROLE_TEMPLATE_SETUP 3u
/** KVXresultRecord: the start of the task the test stands in. */
#define KVX_ROLE_TASK 4u
/** KVXresultRecord: the tag identifier recorded with the result. */
#define KVX_ROLE_TAG 5u
/** @} */

/**
 * @ingroup extension
 * Adds a record at the end of a memory of the image, as an upload adds what the calibrator
 * sends: nothing in it is checked or decoded, so a record the reading calls refuse is kept as
 * it came. The record is stamped with the given date, kept as it is (a clock never set may give
 * month 13), or with the PC's local time for NULL.
 *
 * Loading n records takes time and memory in proportion to n.
 * @param[in]  memory   KVX_PROCEDURE or KVX_RESULTS.
 * @param[in]  kind     the record's kind, 0 to 65,535 (6 test, 7 and 8 calibration results,
 *                      14 strategy, ...: the directory codes of MEMpDir and MEMrDir follow from
 *                      it).
 * @param[in]  version  the record's version word, 0 to 65,535 (1 for a setup that needs the
 *                      later firmware, else 0).
 * @param[in]  stamp    KVX_STAMP_SIZE bytes of date stamp, or NULL for the PC's local time.
 * @param[in]  data     the record's data, length bytes.
 * @param[in]  length   1 to KVX_RECORD_SIZE_MAX (64,976): the calibrator keeps no empty record.
 * @param[out] index    the record's index in its memory, or -1 when it was not added; may be
 *                      NULL.
 * @return KVTLNK_OK; KVTLNK_E_ARGUMENT (2013) for another memory, a kind or version above
 *         65,535, NULL data, or a length of 0 or above KVX_RECORD_SIZE_MAX; KVTLNK_E_IMAGE
 *         (2012) when the memory can take no more records, or the library runs out of memory.
 *         On failure the image is as it was.
 * @see KVXreadRecord, MEMclear, MEMstats
 */
KVTLNK_API uint32_t KVTLNK_CALL KVXloadRecord(uint32_t memory, uint32_t kind, uint32_t version,
                                              const uint8_t* stamp, const uint8_t* data,
                                              uint32_t length, int32_t* index);
/**
 * @ingroup extension
 * Reads a record of the image as bytes: its kind, version word, date stamp, length and data,
 * as an upload brought them in or the definition calls made them. Ask for the length first
 * (data NULL), or give a buffer of KVX_RECORD_SIZE_MAX bytes, which takes any record. Changes
 * nothing in the image.
 * @param[in]  memory    KVX_PROCEDURE or KVX_RESULTS.
 * @param[in]  index     the record's index in that memory, from 0.
 * @param[out] kind      the record's kind, 0 to 65,535; may be NULL.
 * @param[out] version   its version word, 0 to 65,535; may be NULL.
 * @param[out] stamp     KVX_STAMP_SIZE bytes of date stamp; may be NULL.
 * @param[out] length    the number of data bytes, 1 to KVX_RECORD_SIZE_MAX; may be NULL.
 * @param[out] data      receives the record's length data bytes; capacity bytes, or NULL to
 *                       read the rest only.
 * @param[in]  capacity  the size of data in bytes.
 * @return KVTLNK_OK; KVTLNK_E_ARGUMENT (2013) for another memory, or when capacity is below the
 *         record's length: the other outputs are filled then, data is not touched;
 *         KVTLNK_E_RECORD (2014) when there is no record at the index: kind, version and length
 *         are 0, stamp and data are not touched.
 * @see KVXloadRecord, MEMpDir, MEMrDir
 */
KVTLNK_API uint32_t KVTLNK_CALL KVXreadRecord(uint32_t memory, int32_t index, uint32_t* kind,
                                              uint32_t* version, uint8_t* stamp, uint32_t* length,
                                              uint8_t* data, uint32_t capacity);
/**
 * @ingroup extension
 * Removes the record at an index of a memory of the image and every record after it: index 0
 * empties the memory (MEMclear empties both, then lays down the standard strategies). An
 * application that loads records from a file empties the memories first, and may cut a memory
 * back to its former count when the file turns out damaged part-way.
 * @param[in] memory  KVX_PROCEDURE or KVX_RESULTS.
 * @param[in] index   the first record to remove, 0 to the memory's count (MEMstats); at the
 *                    count nothing is removed.
 * @return KVTLNK_OK; KVTLNK_E_ARGUMENT (2013) for another memory; KVTLNK_E_RECORD (2014) for
 *         an index below 0 or above the count, with nothing removed.
 * @see KVXloadRecord, MEMclear, MEMstats
 */
KVTLNK_API uint32_t KVTLNK_CALL KVXtruncate(uint32_t memory, int32_t index);
/**
 * @ingroup extension
 * One of the records a calibration result rests on, found as the library finds them when it
 * decodes the result; an application keeps them with the result to decode it again later.
 *
 * The result need not decode (MEMcalResult may refuse it): its setup and strategy are the
 * records it names, whatever their kind. The test is the first test from the result's setup
 * on that names the same setup; when the setup lies in the results memory (the calibrator's
 * copy), it is the first test with the result's strategy, its mark (MEMasflInfo's flag) and the
 * first two texts of its tag. The task is the task start before the test, unless a task end
 * comes between. The tag is the record after the result when that is a tag identifier.
 * @param[in]  result  results index of a calibration result (MEMrDir's code 1 or 2).
 * @param[in]  role    which record: KVX_ROLE_SETUP, KVX_ROLE_STRATEGY, KVX_ROLE_TEMPLATE,
 *                     KVX_ROLE_TEMPLATE_SETUP, KVX_ROLE_TASK or KVX_ROLE_TAG.
 * @param[out] memory  the record's memory, KVX_PROCEDURE or KVX_RESULTS; 0 when the result
 *                     has none. May be NULL.
 * @param[out] index   the record's index in that memory; -1 when the result has none. May be
 *                     NULL.
 * @return KVTLNK_OK, also when the result has no such record; KVTLNK_E_ARGUMENT (2013) for
 *         another role; KVTLNK_E_RECORD (2014) when the record at the index is not a
 *         calibration result or ends before the references to its setup and strategy. Both
 *         outputs are cleared first.
 * @see MEMasflInfo, MEMtagidInfo, MEMbaseState
 */
KVTLNK_API uint32_t KVTLNK_CALL KVXresultRecord(int32_t result, uint32_t role, uint32_t* memory,
                                                int32_t* index);
/**
 * @ingroup extension
 * One line of text for a result code: what happened and what to do, in plain ASCII; the text
 * kvtlnkMessage() of kvtlnk_messages.h gives, for bindings that cannot use that header.
 * @param[in] code  a result code of any call.
 * @return a static text, never NULL; for a code the library does not know, a text that says so.
 * @see kvtlnkMessage
 */
KVTLNK_API const char* KVTLNK_CALL KVXmessage(uint32_t code);

#ifdef __cplusplus
}
#endif

#endif /* KVTLNK_KVTLNK_EXT_H */
