#!/usr/bin/env python3
"""A synthetic record stream of one long run (default 300,000 exchanges at
300 ms, a day's walk around a datum point), as the program writes it: for
export benchmarks. Usage: synthetic-stream.py [exchanges] > day.jsonl"""
import math, sys

n = int(sys.argv[1]) if len(sys.argv) > 1 else 300000
out = sys.stdout
lat0, lon0 = 35.681236, 139.767125
out.write('{"type":"run","schema":1,"run":1,"time":"2024-05-01T00:00:00.000+09:00","version":"0.900.5","port":"/dev/ttyUSB0",'
          '"mode":"FSK","spreading":0,"period_ms":300,"kind":"continuous","length":0,"comm_log":"day.log","map_csv":"","map_log":""}\n')
lines = []
for i in range(1, n + 1):
    t = i * 0.3
    ms = int(round(t * 1000))
    hh, rest = divmod(ms, 3600000)
    mm, rest = divmod(rest, 60000)
    ss, mss = divmod(rest, 1000)
    day = 1 + hh // 24
    time = '2024-05-%02dT%02d:%02d:%02d.%03d+09:00' % (day, hh % 24, mm, ss, mss)
    a = t / 600.0
    r = 50 + 1500 * abs(math.sin(t / 3000.0))
    lat = lat0 + r * math.cos(a) / 111000.0
    lon = lon0 + r * math.sin(a) / 91000.0
    lost = (i * 7919) % 100 < 8
    far = None if lost else int(-40 - 25 * math.log10(r) + (i % 7) - 3)
    ack = None if lost else far - 3
    rtt = None if lost else 60000 + (i % 13) * 500
    gap = (i // 1000) % 50 == 7   # now and then a stretch without a fix
    pos = 'null,"lon":null,"alt":null,"fix":0,"sats":3,"hdop":null,"dist_m":null' if gap else \
        '%.7f,"lon":%.7f,"alt":%.1f,"fix":1,"sats":9,"hdop":0.9,"dist_m":%.1f' % (lat, lon, 40 + (i % 10) / 10, r)
    lines.append('{"type":"exchange","schema":1,"run":1,"packet":%d,"payload":"%03d","time":"%s","outcome":"%s","rtt_us":%s,'
                 '"far_rssi":%s,"ack_rssi":%s,"noise":-112,"lat":%s,"sent_us":%d,"answered_us":%s,"mode":"FSK",'
                 '"spreading":0,"period_ms":300,"checksum_ok":true,"geoid_m":%s}\n'
                 % (i, i % 1000, time, 'lost' if lost else 'answered', 'null' if lost else rtt,
                    'null' if lost else far, 'null' if lost else ack, pos, i * 300000,
                    'null' if lost else i * 300000 + rtt, 'null' if gap else '39.3'))
    if lost and i % 3 == 0:
        lines.append('{"type":"late","schema":1,"run":1,"packet":%d,"payload":"%03d","rtt_us":450000,"far_rssi":-99}\n' % (i, i % 1000))
    if i % 20000 == 0:
        lines.append('{"type":"marker","schema":1,"run":1,"number":%d,"note":"waypoint %d","time":"%s","at_us":%d,"after_packet":%d}\n'
                     % (i // 20000, i // 20000, time, i * 300000 + 100000, i))
    if len(lines) > 5000:
        out.writelines(lines)
        lines = []
out.writelines(lines)
out.write('{"type":"end","schema":1,"run":1,"time":null,"cause":"operator","message":"","sent":%d,"stats":{}}\n' % n)
