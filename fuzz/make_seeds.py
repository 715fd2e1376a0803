#!/usr/bin/env python3
"""Writes the seed corpora of the race-file and change-file fuzz targets.

Run from anywhere: python3 fuzz/make_seeds.py. The chunk format is described at the top of
each target's source; records are built field by field from their layouts.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
SEP = b"@@@"


def sj(text):
    return text.encode("cp932")


def record(size, fields):
    """A blank record of size bytes (CR LF included) with (position, bytes) fields."""
    r = bytearray(b" " * (size - 2) + b"\r\n")
    for pos, value in fields:
        if isinstance(value, str):
            value = sj(value)
        r[pos - 1:pos - 1 + len(value)] = value
    return bytes(r)


def ra(date=b"20240106", course=b"06", race=b"11", division=b"1", name="テスト記念"):
    return record(1272, [(1, b"RA"), (3, division), (4, b"20240105"), (12, date), (20, course),
                         (22, b"01"), (24, b"02"), (26, race), (33, name), (874, b"1025"),
                         (882, b"16"), (1268, b"END")])


def se(date=b"20240106", course=b"06", race=b"11", horse=b"05", division=b"1", name="ウマノナマエ"):
    return record(555, [(1, b"SE"), (3, division), (4, b"20240105"), (12, date), (20, course),
                        (22, b"01"), (24, b"02"), (26, race), (28, b"1"), (29, horse),
                        (41, name), (91, "チョウキョウ"), (289, b"550"), (307, "キシュ"),
                        (551, b"END")])


def header(division=b"1", date=b"20240106", course=b"06", race=b"11"):
    """Positions 3-27 of a record: division, creation date, date, course, meeting, day, race."""
    return division + b"20240105" + date + course + b"0102" + race


def day_line(r):
    return r[:2] + b"000000000" + r[11:1270] + b"\r\n"


def write(target, name, chunks):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(SEP.join(chunks))


def store_race():
    t = "fuzz_store_race"
    write(t, "ra_raw", [b"R" + ra()])
    write(t, "ra_order", [b"r" + header(race=b"12"), b"r" + header(race=b"01"),
                          b"r" + header(race=b"05"), b"r" + header(course=b"09", race=b"01")])
    write(t, "ra_replace", [b"d20240106" + b"03" + b"000000", b"r" + header(race=b"02") + b"X"])
    dup = day_line(ra(race=b"03")) * 2 + b" " * 1270 + b"\r\n" + b"short line\r\n"
    write(t, "ra_foreign_day_file", [b"D20240106" + dup, b"r" + header(race=b"03"),
                                     b"r" + header(race=b"04")])
    write(t, "ra_rejected", [b"r" + header(division=b"0"), b"r" + header(division=b"7"),
                             b"r" + header(division=b"A"), b"r" + header(division=b" "),
                             b"r" + header(race=b"00"), b"r" + header(race=b"13"),
                             b"r" + header(date=b"../../x/"), b"r" + header(race=b" 5"),
                             b"R" + ra()[:600] + b"\r\n"])
    write(t, "se_raw", [b"S" + se()])
    write(t, "se_slots", [b"s" + header(race=b"01") + b"101", b"s" + header(race=b"12") + b"118",
                          b"s" + header(race=b"12") + b"119", b"s" + header(race=b"00") + b"101",
                          b"s" + header(course=b"99") + b"105", b"s" + header(course=b"58") + b"105"])
    write(t, "se_short_entry_file", [b"e20240106" + b"5" + b"100553" + b"000000",
                                     b"s" + header(race=b"03") + b"105"])
    write(t, "se_long_entry_file", [b"e20240106" + b"5" + b"230553" + b"000000",
                                    b"s" + header(race=b"01") + b"101"])
    write(t, "se_bad_lines", [b"e20240106" + b"5" + b"216550" + b"000000",
                              b"E20240106" + b"8" + b"SE\r\n\r\nxx\n",
                              b"s" + header(race=b"02") + b"103",
                              b"s" + header(course=b"09", race=b"02") + b"103"])
    write(t, "fault", [b"d20240106" + b"02" + b"000000", b"F", b"r" + header(race=b"01"),
                       b"e20240106" + b"5" + b"216553" + b"000000", b"F",
                       b"s" + header(race=b"01") + b"101", b"s" + header(race=b"01") + b"102"])


def we(stamp=b"01060930", kind=b"1", weather=b"1", going=b"11", before=b"000", date=b"20240106"):
    return record(42, [(1, b"WE"), (3, b"1"), (4, b"20240105"), (12, date), (20, b"06"),
                       (22, b"0102"), (26, stamp), (34, kind), (35, weather), (36, going),
                       (38, before)])


def av(horse=b"05", stamp=b"01061230", kind=b"1", race=b"11", date=b"20240106"):
    return record(78, [(1, b"AV"), (3, kind), (4, b"20240105"), (12, date), (20, b"06"),
                       (22, b"0102"), (26, race), (28, stamp), (36, horse),
                       (38, "ウマノナマエ"), (74, b"001")])


def jc(horse=b"05", after="キシュアト", stamp=b"01061230"):
    return record(161, [(1, b"JC"), (3, b"1"), (4, b"20240105"), (12, b"20240106"), (20, b"06"),
                        (22, b"0102"), (26, b"11"), (28, stamp), (36, horse),
                        (38, "ウマノナマエ"), (74, b"550"), (82, after), (125, "キシュマエ")])


def tc(race=b"11", stamp=b"01061230", new=b"1545"):
    return record(45, [(1, b"TC"), (3, b"1"), (4, b"20240105"), (12, b"20240106"), (20, b"06"),
                       (22, b"0102"), (26, race), (28, stamp), (36, new), (40, b"1530")])


def cc(race=b"11", stamp=b"01061230"):
    return record(50, [(1, b"CC"), (3, b"1"), (4, b"20240105"), (12, b"20240106"), (20, b"06"),
                       (22, b"0102"), (26, race), (28, stamp), (36, b"1800"), (40, b"24"),
                       (42, b"1600"), (46, b"24")])


def merge_changes():
    t = "fuzz_merge_changes"
    write(t, "raw_each_type", [b"R" + we(), b"R" + av(), b"R" + jc(), b"R" + tc(), b"R" + cc(),
                               b"R" + b"RA" + av()[2:]])
    write(t, "we_rules", [b"R" + we(), b"R" + we(stamp=b"01061000", kind=b"2", weather=b"3"),
                          b"R" + we(stamp=b"01061000", kind=b"2", weather=b"4"),
                          b"R" + we(stamp=b"01060900", kind=b"3", going=b"22"),
                          b"R" + we(date=b"20240107")])
    write(t, "av_rules", [b"R" + av(horse=b"07"), b"R" + av(horse=b"03"),
                          b"R" + av(horse=b"07", stamp=b"01060800", kind=b"2"),
                          b"R" + av(horse=b"01", race=b"01")])
    write(t, "jc_rules", [b"R" + jc(), b"R" + jc(), b"R" + jc(after="ベツノキシュ"),
                          b"R" + jc(horse=b"02")])
    write(t, "tc_cc_rules", [b"R" + tc(), b"R" + tc(new=b"1600", stamp=b"01061300"),
                             b"R" + tc(race=b"01"), b"R" + cc(), b"R" + cc(stamp=b"01061400"),
                             b"R" + cc(race=b"02")])
    write(t, "generated_files", [b"w20240106" + b"06" + b"000000", b"a20240106" + b"10" + b"000000",
                                 b"j20240106" + b"05" + b"000000", b"t20240106" + b"04" + b"000000",
                                 b"c20240106" + b"03" + b"000200" + b"x",
                                 b"MW" + b"120240105202401060601020106093" + b"0",
                                 b"MA" + b"1202401052024010606010201061230" + b"03",
                                 b"MJ", b"MT" + b"1202401052024010606010202", b"MC"])
    blank_first = b" " * 76 + b"\r\n" + av()[:-2] + b"\r\n"
    write(t, "foreign_files", [b"A20240106" + blank_first, b"R" + av(horse=b"09"),
                               b"W20240106" + b"\r\n" + we()[:-2] + b"\n" + we()[:-2] + b"\r",
                               b"R" + we(), b"T20240106" + b"garbage\nTC\r\n",
                               b"R" + tc(), b"R" + tc()[:-2] + b"\n\n"])
    write(t, "renew", [b"N20240106" + b"01060930\r\n\r\n\r\n\r\n\r\n",
                       b"N20240106" + b"01060930\r\n\r\n\r\n\r\n",
                       b"n20240106" + b"01060930||01061230||",
                       b"F", b"n20240106" + b"x|y|z|u|v", b"n20240106" + b"a\nb|c"])
    write(t, "fault", [b"R" + av(), b"F", b"R" + av(horse=b"06"), b"F", b"R" + we(),
                       b"R" + jc()])


def meeting_load():
    t = "fuzz_meeting_load"
    write(t, "two_courses", [b"d" + b"24" + b"000000", b"e5" + b"216553" + b"000000",
                             b"e8" + b"216553" + b"000000", b"L", b"G0035", b"L"])
    write(t, "forty_races", [b"d" + b"40" + b"000000", b"e5" + b"216553" + b"000000", b"L"])
    write(t, "raw_records", [b"D" + day_line(ra(race=b"03")) + day_line(ra(course=b"58")),
                             b"E5" + b"\r\n".join([se()[:-2]] * 3), b"L"])
    write(t, "bad_shapes", [b"d" + b"03" + b"001271" + b"XX", b"e5" + b"100550" + b"000000",
                            b"L", b"D" + b"RA short", b"L", b"D", b"L", b"L" + sj("2024年01月07日")])
    write(t, "odd_names", [b"Nx", b"N" + sj("2024年01月05日"), b"N" + b"\xff\xfe", b"d" + b"01" + b"000000",
                           b"L", b"L../Data/" + sj("2024年01月06日")])


def evaluation():
    t = "fuzz_evaluation"
    write(t, "each_type", [b"W" + we() + we(stamp=b"01061000", kind=b"2", weather=b"3"),
                           b"A" + av() + av(horse=b"07", stamp=b"01061300"), b"J" + jc(),
                           b"T" + tc(), b"C" + cc()])
    write(t, "told_already", [b"A" + av(), b"T" + tc(),
                              b"R" + b"\r\n01061230\r\n\r\n01061230\r\n\r\n"])
    write(t, "renew_later", [b"A" + av(), b"R" + b"\r\n01061300\r\n\r\n\r\n\r\n"])
    write(t, "bad_renew", [b"W" + we(), b"R" + b"01060930\r\n\r\n"])
    write(t, "forty_records", [b"A" + b"".join(av(horse=b"%02d" % (1 + i % 18),
                                                   stamp=b"010612%02d" % i) for i in range(40))])
    write(t, "odd_bytes", [b"W" + we()[:30] + b"\n" + we(kind=b"3"), b"J" + jc()[:50],
                           b"C" + b"\r" * 60, b"R" + b"a\rb\nc\r\nd\r\ne"])


if __name__ == "__main__":
    store_race()
    merge_changes()
    meeting_load()
    evaluation()
