#!/usr/bin/env python3
"""Writes the fuzz seed corpora: the meter's example frames as small binary files.

Serial inputs: a configuration byte (variant switches), a chunking seed byte, then the stream.
Report inputs: a configuration byte, then reports as (report ID, length, data bytes).
Run from anywhere; the files land beside this script.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "fuzz_" + target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(data))


def nibbles(text):
    return [int(c, 16) for c in text]


# Q13: byte i carries the sequence number i in its high nibble.
def q13(low):
    return [(i + 1) << 4 | n for i, n in enumerate(low)]


Q13_DC_1234 = [0x17, 0x20, 0x35, 0x4D, 0x5B, 0x61, 0x7F, 0x82, 0x97, 0xA0, 0xB0, 0xC0, 0xD4, 0xE0]
Q13_AC = [0x19] + Q13_DC_1234[1:]
# Overload: D2 "0", D3 the L, point P2, ohm.
Q13_OVERLOAD = q13(nibbles("0007DE80000400"))
# Degrees Celsius and hertz both set.
Q13_CELSIUS_HZ = Q13_DC_1234[:12] + [0xD6, 0xE1]
Q13_CELSIUS = Q13_DC_1234[:12] + [0xD0, 0xE1]


def q13_serial():
    frames = {
        "example": Q13_DC_1234 * 3,
        "ac_manual": Q13_AC * 2,
        "overload": Q13_OVERLOAD * 2,
        "celsius_hz": Q13_CELSIUS_HZ + Q13_CELSIUS,
        "lost_byte": Q13_DC_1234[:5] + Q13_DC_1234[6:] + Q13_DC_1234 * 2,
        "lost_end_byte": Q13_DC_1234[:13] + Q13_DC_1234 * 2,
        "stray_end_byte": Q13_DC_1234[:6] + [0xE5] + Q13_DC_1234[6:] + Q13_DC_1234,
    }
    for name, stream in frames.items():
        write("serial_q13", name, [0x01, 0x00] + stream)
    write("serial_q13", "variants_chunked", [0xFF, 0x07] + Q13_DC_1234 + Q13_AC + Q13_OVERLOAD)


# Q31 and Q32: nine data bytes (data in the low nibble), 0x0D, 0x0A.
def digit_frame(text):
    return [0x30 | n for n in nibbles(text)] + [0x0D, 0x0A]


Q31_FRAMES = {
    "volt": "11234B002",
    "ac": "11234B006",
    "dc": "11234B00E",
    "p3_blanking": "30012B002",
    "no_point": "40005B002",
    "overload": "01234B102",
    "overload_minus": "01234B502",
    "diode_overload": "012341102",
    "continuity": "012345002",
    "rpm": "012342802",
    "override_r2": "21234B012",
    "override_r7": "71234B012",
    "letter_range": "A1234B002",
    "letter_digit": "112C4B002",
}

Q32_FRAMES = {
    "volt": "123453101",
    "volt_minus": "123453105",
    "status_3": "123453103",
    "status_7": "123453107",
    "status_9": "123453109",
    "dark_fifth": "1234A3101",
    "zeros": "123B53101",
    "overload": "A12343101",
    "overload_minus": "A12343105",
    "overload_c": "AC2343101",
    "duty_cycle": "123453C05",
    "coupling_3": "123453131",
    "coupling_5": "123453151",
    "f2_coupling_0": "123453201",
    "range_change": "123451101",
    "letter_range": "12345A101",
    "letter_digit": "12C453101",
}


def digit_serial(target, frames):
    for name, text in frames.items():
        # The first buffer starts with the 0x0A that ended a previous frame.
        write(target, name, [0x01, 0x00, 0x0A] + digit_frame(text) * 2)
    all_frames = [0x0A]
    for text in frames.values():
        all_frames += digit_frame(text)
    write(target, "all", [0x01, 0x03] + all_frames)
    write(target, "all_variants", [0xFE, 0x11] + all_frames)
    # No leading 0x0A: the first frame is dropped, the second decodes.
    first = next(iter(frames.values()))
    write(target, "resync", [0x01, 0x00] + digit_frame(first)[1:] + digit_frame(first))
    # Ten data bytes, the tenth with low nibble D: the first nine decode.
    write(target, "ten_bytes", [0x01, 0x00, 0x0A] + [0x30 | n for n in nibbles(first)] +
          [0x3D, 0x0D, 0x0A])


# HID reports: ID, length, data; the first data byte's low nibble counts the meter bytes.
def report(payload, size=8):
    data = [0xF0 | len(payload)] + payload
    return [0x00, size] + (data + [0] * size)[:size]


IDLE = report([])


def reports_of(frame_bytes, split):
    out, pos = [], 0
    for n in split:
        out += report(frame_bytes[pos:pos + n], n + 1)
        pos += n
    return out


def q32_reports():
    frame = [0x30 | n for n in nibbles(Q32_FRAMES["volt"])] + [0x0D, 0x0A]
    over = [0x30 | n for n in nibbles(Q32_FRAMES["overload"])] + [0x0D, 0x0A]
    write("report_q32", "split_7_4", [0x01] + IDLE + reports_of(frame, [7, 4]) + IDLE)
    write("report_q32", "two_frames", [0x01] + IDLE + reports_of(frame, [7, 4]) + IDLE +
          reports_of(over, [5, 6]) + IDLE)
    write("report_q32", "joined", [0x01] + IDLE + reports_of(frame, [7, 4]) +
          reports_of(over, [7, 4]) + IDLE)
    # A count larger than the bytes present, counts 0 and A to F, an empty report.
    short = [0x00, 4, 0xF9] + frame[:3]
    odd = [0x00, 2, 0xF0, 0x31] + [0x00, 2, 0xFA, 0x31] + [0x00, 2, 0xFF, 0x31] + [0x00, 0]
    write("report_q32", "odd_counts", [0x01] + IDLE + short + odd + reports_of(frame, [9, 2]) +
          IDLE)
    write("report_q32", "variants", [0xFF] + IDLE + reports_of(frame, [3, 3, 3, 2]) + IDLE)


def q13_reports():
    write("report_q13", "split_7_7", [0x01] + IDLE + reports_of(Q13_DC_1234, [7, 7]) + IDLE)
    write("report_q13", "overload", [0x01] + IDLE + reports_of(Q13_OVERLOAD, [9, 5]) + IDLE +
          reports_of(Q13_AC, [4, 4, 4, 2]) + IDLE)
    write("report_q13", "joined", [0x01] + IDLE + reports_of(Q13_DC_1234, [7, 7]) +
          reports_of(Q13_AC, [7, 7]) + IDLE)
    write("report_q13", "odd_counts", [0x01] + IDLE + [0x00, 3, 0xF9, 0x17, 0x20] +
          [0x00, 1, 0xFC] + [0x00, 0] + reports_of(Q13_CELSIUS_HZ, [7, 7]) + IDLE)
    write("report_q13", "variants", [0xFF] + IDLE + reports_of(Q13_AC, [7, 7]) + IDLE)


if __name__ == "__main__":
    q13_serial()
    digit_serial("serial_q31", Q31_FRAMES)
    digit_serial("serial_q32", Q32_FRAMES)
    q32_reports()
    q13_reports()
