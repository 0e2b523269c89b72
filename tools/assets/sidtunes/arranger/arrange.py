# Arranger: turns a compact plan of a tune (key, scale, sections with chord
# progressions, bass/drum pattern strings, lead rhythm palettes) into a song
# source for the song compiler. The lead is built from motifs that follow the
# chords; bass and chord bars are written once on C and transposed through
# the order lists. The song sources in ../songs were drafted with it and are
# the files the build uses; rerun it only to redraft a tune from its plan.
#
# Pattern strings, one character per step of a bar:
#   K S H C T   kick, snare, hat, crash, tom (drum instruments)
#   r o f t s n root, octave, fifth, third, seventh, ninth of the chord
#   F O u       fifth below, two octaves, fifth below
#   Q G         glide up to the octave / fifth
#   A P         chord arpeggio / pad note (voice 3)
#   .  -        hold the previous step / rest
import random, sys

NOTES = ['C-','C#','D-','D#','E-','F-','F#','G-','G#','A-','A#','B-']
def nname(n):
    assert 0 <= n < 96, n
    return NOTES[n % 12] + str(n // 12)
ROOT = {'C':0,'D':2,'E':4,'F':5,'G':7,'A':9,'B':11}
QUAL = {'':[0,4,7],'m':[0,3,7],'7':[0,4,7,10],'m7':[0,3,7,10],'M7':[0,4,7,11],
        'sus':[0,5,7],'dim':[0,3,6],'5':[0,7,12],'add9':[0,4,7,14],'m9':[0,3,7,14]}
SCALES = {'major':[0,2,4,5,7,9,11],'minor':[0,2,3,5,7,8,10],'dorian':[0,2,3,5,7,9,10],
          'phrygian':[0,1,3,5,7,8,10],'harm':[0,2,3,5,7,8,11],'mixo':[0,2,4,5,7,9,10],'pent':[0,3,5,7,10],'penta':[0,2,4,7,9]}
def chord(s):
    r = ROOT[s[0]]; q = s[1:]
    if q[:1] == '#': r += 1; q = q[1:]
    elif q[:1] == 'b': r -= 1; q = q[1:]
    return r % 12, q

class Voice:
    def __init__(s): s.ev = []  # (start, dur, kind, pitch, instr)
    def add(s, start, dur, kind, pitch, ins): s.ev.append([start, dur, kind, pitch, ins])

def gen(plan, seed):
    rnd = random.Random(seed)
    key = ROOT[plan['key'][0]] + (1 if plan['key'][1:] == '#' else 0)
    scale = SCALES[plan['scale']]
    bar = plan.get('bar', 16)
    V = [Voice(), Voice(), Voice()]
    ladder = [n for n in range(24, 96) if (n - key) % 12 in scale]
    t = 0
    motifs = {}
    filt_owner = plan.get('filter_owner')  # instrument that restarts the filter at section starts
    for si, sec in enumerate(plan['sections']):
        name, chords = sec['name'], sec['chords']
        reps = sec.get('reps', 1)
        chords = chords * reps
        nb = len(chords)
        sec_start = t
        first_flt = True
        # ---- voice 1: bass + drums
        bpat = sec['bass']
        if isinstance(bpat, str): bpat = [bpat]
        for b, ch in enumerate(chords):
            cr, cq = chord(ch)
            pat = bpat[b % len(bpat)]
            if sec.get('fill') and b == nb - 1: pat = sec['fill']
            step = bar // len(pat)
            boct = plan.get('bass_oct', 2) * 12
            root = boct + cr
            if cr > plan.get('bass_split', 7): root -= 12
            iv = QUAL[cq]
            for i, c in enumerate(pat):
                st = t + b * bar + i * step
                if c == '.': V[0].ev[-1][1] += step; continue
                if c == '-': V[0].add(st, step, 'rest', 0, None); continue
                if c in 'KSHCT':
                    V[0].add(st, step, 'note', 48, {'K':'kick','S':'snare','H':'hat','C':'crash','T':'tom'}[c]); continue
                off = {'r':0,'o':12,'f':7,'t':iv[1],'s':10,'n':2,'q':12,'g':7,'u':-5}[c.lower()] if c not in 'FO' else {'F':-5,'O':24}[c]
                ins = plan.get('bass_ins', 'bass')
                if filt_owner == ins and first_flt: ins2 = ins + 'F'; first_flt = False
                else: ins2 = ins
                kind = 'note'
                if c.isupper() and c not in 'KSHCT' and c != 'F' and c != 'O':
                    kind = 'glide'
                V[0].add(st, step, kind, root + off, ins2)
        # ---- voice 2: lead
        lead = sec.get('lead')
        if lead is None:
            V[1].add(t, nb * bar, 'rest', 0, None)
        else:
            mk = lead.get('motif', name)
            center = lead.get('center', 60)
            if mk not in motifs:
                motifs[mk] = make_motif(rnd, lead, bar)
            mot = motifs[mk]
            prev = center
            for b, ch in enumerate(chords):
                cr, cq = chord(ch)
                ctones = set((cr + i) % 12 for i in QUAL[cq])
                phrase_pos = b % 4
                if phrase_pos == 3 and lead.get('cadence', True):
                    rh = mot['cad']
                else:
                    rh = mot['bars'][phrase_pos % len(mot['bars'])]
                    if b >= 4 and lead.get('vary', True) and phrase_pos == 2:
                        rh = vary(rnd, rh)
                # anchor: chord root in ladder nearest to center (voice leading)
                cands = [i for i, n in enumerate(ladder) if n % 12 == cr]
                if not cands: cands = [i for i, n in enumerate(ladder) if (n - cr) % 12 in (1, 11)]
                anchor = min(cands, key=lambda i: abs(ladder[i] - (center - 4)))
                pos = t + b * bar
                for (d, deg, art) in rh:
                    if deg is None:
                        V[1].add(pos, d, 'rest', 0, None)
                    else:
                        idx = max(0, min(len(ladder) - 1, anchor + deg))
                        p = ladder[idx] + 12 * lead.get('oct', 0)
                        while p > 81: p -= 12
                        chromatic = set(c for c in ctones if (c - key) % 12 not in scale)
                        if p % 12 not in ctones:
                            # a scale tone a semitone off a chromatic chord tone would clash
                            if (p + 1) % 12 in chromatic: p += 1
                            elif (p - 1) % 12 in chromatic: p -= 1
                        if (pos - t) % 4 == 0 and p % 12 not in ctones:
                            # strong beat: snap to the nearest chord tone
                            for dd in (1, -1, 2, -2):
                                if (p + dd) % 12 in ctones: p += dd; break
                        kind = 'note'
                        if art == 'g' and V[1].ev and V[1].ev[-1][2] != 'rest': kind = 'glide'
                        V[1].add(pos, d, kind, p, lead.get('ins', 'lead'))
                    pos += d
        # ---- voice 3: chords / hats / echo
        v3 = sec.get('v3', 'A')
        if v3.startswith('echo'):
            delay = int(v3[4:] or 3)
            src = [e for e in V[1].ev if sec_start <= e[0] < t + nb * bar]
            V[2].add(t, delay, 'rest', 0, None)
            for e in src:
                st = e[0] + delay
                if st >= t + nb * bar: break
                d = min(e[1], t + nb * bar - st)
                if e[2] == 'rest': V[2].add(st, d, 'rest', 0, None)
                else: V[2].add(st, d, 'note' if e[2] != 'glide' else 'glide', e[3] + plan.get('echo_shift', 0), 'echo')
        else:
            pats = v3 if isinstance(v3, list) else [v3]
            for b, ch in enumerate(chords):
                cr, cq = chord(ch)
                pat = pats[b % len(pats)]
                step = bar // len(pat)
                aoct = plan.get('arp_oct', 4) * 12
                for i, c in enumerate(pat):
                    st = t + b * bar + i * step
                    if c == '.': V[2].ev[-1][1] += step; continue
                    if c == '-': V[2].add(st, step, 'rest', 0, None); continue
                    if c in 'KSHCT':
                        V[2].add(st, step, 'note', 48, {'K':'kick','S':'snare','H':'hat','C':'crash','T':'tom'}[c]); continue
                    if c == 'A':
                        ins = 'arp' + {'':'M','m':'m','7':'7','m7':'m7','M7':'M7','sus':'s','dim':'d','5':'5','add9':'9','m9':'m9'}[cq]
                        if filt_owner == 'arp' and first_flt: ins += 'F'; first_flt = False
                        V[2].add(st, step, 'note', aoct + cr, ins)
                    if c == 'P':
                        ins = 'pad'
                        if filt_owner == 'pad' and first_flt: ins += 'F'; first_flt = False
                        V[2].add(st, step, 'note', aoct + cr + QUAL[cq][sec.get('padtone', 0)], ins)
        t += nb * bar
    return V, t

def make_motif(rnd, lead, bar):
    pal = lead['rhythms']
    bars = []
    for k in range(3):
        rh = rnd.choice(pal)
        degs = []
        d = rnd.choice([0, 2, 4])
        for j, dur in enumerate(rh):
            if isinstance(dur, str):  # 'r4' rest
                degs.append((int(dur[1:]), None, '')); continue
            art = 'g' if rnd.random() < lead.get('glide', 0.0) else ''
            degs.append((dur, d, art))
            step = rnd.choice(lead.get('steps', [-2, -1, -1, 1, 1, 2, 3, -3]))
            d = max(-3, min(8, d + step))
        bars.append(degs)
    cad = [(dur if not isinstance(dur, str) else int(dur[1:]), None if isinstance(dur, str) else dg, '')
           for dur, dg in zip(lead.get('cad_rh', [8, 4, 4]), lead.get('cad_deg', [4, 2, 0]))]
    # second bar answers the first: same rhythm, mirrored contour, sometimes
    if rnd.random() < 0.5:
        bars[1] = [(d, (None if g is None else 4 - g), a) for d, g, a in bars[0]]
    return {'bars': bars, 'cad': cad}

def vary(rnd, rh):
    out = list(rh)
    for k in range(len(out) - 1, -1, -1):
        if out[k][1] is not None:
            d, g, a = out[k]
            out[k] = (d, g + rnd.choice([-2, -1, 1, 2]), a)
            break
    return out

def bar_chunks(v, total, bar):
    # split events into bars; events crossing a bar line continue as ties
    ev = sorted(v.ev, key=lambda e: e[0])
    # fill gaps with rests and check coverage
    chunks = [[] for _ in range(total // bar)]
    pos = 0
    for e in ev:
        st, d, kind, p, ins = e
        if st > pos:
            ev_split(chunks, pos, st - pos, 'rest', 0, None, bar)
        if st < pos:
            raise Exception('overlap at %d (%s)' % (st, e))
        ev_split(chunks, st, d, kind, p, ins, bar)
        pos = st + d
    if pos < total: ev_split(chunks, pos, total - pos, 'rest', 0, None, bar)
    return chunks

def ev_split(chunks, st, d, kind, p, ins, bar):
    first = True
    while d > 0:
        b = st // bar
        n = min(d, bar - st % bar)
        if b >= len(chunks): return
        chunks[b].append((n, kind if first else ('tie' if kind != 'rest' else 'rest'), p, ins if first else None))
        st += n; d -= n; first = False

def emit(plan, seed, out):
    V, total = gen(plan, seed)
    bar = plan.get('bar', 16)
    lines = []
    lines.append('; %s' % plan['title'])
    lines.append('; ' + plan.get('note', ''))
    lines.append('title %s' % plan['title'])
    lines.append('speed %d %d' % tuple(plan['speed']))
    lines.append('')
    INS_AT = len(lines)
    lines.append('')
    seqs = {}
    order = [[], [], []]
    loop_bar = plan.get('loop_bar', 0)
    for vi in range(3):
        chunks = bar_chunks(V[vi], total, bar)
        cur_tr = None
        for bi, ch in enumerate(chunks):
            pitches = [p for (n, k, p, ins) in ch if k in ('note', 'glide') and ins in MELODIC]
            tr = 0
            if pitches and plan.get('transpose_bars', True):
                lo = min(pitches); hi = max(pitches)
                tr = max(-32, min(31, (lo - 36) // 12 * 12 + 0))
                tr = 0
                # transpose relative to the bar's first pitched note's pitch class
                base = pitches[0]
                tr = (base % 12)
                if tr > 6: tr -= 12
            toks = []
            cur_ins = None; cur_d = None
            for (n, k, p, ins) in ch:
                s = ''
                if ins and ins != cur_ins and k in ('note', 'glide'):
                    toks.append('@' + ins); cur_ins = ins
                if k == 'rest': s = 'r'
                elif k == 'tie': s = '='
                else:
                    q = p - tr if ins in MELODIC else p
                    s = nname(q)
                    if k == 'glide': s = '>' + s
                if n != cur_d: s += ':%d' % n; cur_d = n
                toks.append(s)
            body = ' '.join(toks)
            if any('>' in x for x in toks): body = 'slide=%d ' % plan.get('slide', 120) + body
            if body not in seqs: seqs[body] = 's%d' % len(seqs)
            if bi == loop_bar: order[vi].append('|'); cur_tr = None
            if tr != cur_tr: order[vi].append('%+d' % tr); cur_tr = tr
            order[vi].append(seqs[body])
    used = set(w[1:] for body in seqs for w in body.split() if w.startswith('@'))
    ilines = plan['instruments'].strip().split('\n')
    keep_i = [l for l in ilines if l.startswith('instr ') and l.split()[1] in used]
    waves = set(w.split('=')[1] for l in keep_i for w in l.split() if w.startswith('wave='))
    kept = [l for l in ilines if (l.startswith('instr ') and l in keep_i) or (l.startswith('wave ') and l.split()[1] in waves)]
    lines.insert(INS_AT, '\n'.join(kept))
    for body, nm in sorted(seqs.items(), key=lambda kv: int(kv[1][1:])):
        # wrap long lines
        words = body.split(' '); line = 'seq %s' % nm; outl = []
        for w in words:
            if len(line) + len(w) > 100: outl.append(line); line = '   '
            line += ' ' + w
        outl.append(line); lines.extend(outl)
    lines.append('')
    for vi in range(3):
        words = order[vi]; line = 'v%d' % (vi + 1); outl = []
        for w in words:
            if len(line) + len(w) > 100: outl.append(line); line = '  '
            line += ' ' + w
        outl.append(line); lines.extend(outl)
    open(out, 'w').write('\n'.join(lines) + '\n')
    secs = total * sum(plan['speed']) / 2 / 50
    print(out, 'bars', total // bar, 'seconds %.1f' % secs, 'seqs', len(seqs))

MELODIC = set(['bass', 'bassF', 'lead', 'lead2', 'echo', 'pad', 'padF', 'sbass', 'sbassF'] +
              ['arp' + q + f for q in ['M','m','7','m7','M7','s','d','5','9','m9'] for f in ['', 'F']])

ARPQ = {'M':[0,4,7],'m':[0,3,7],'7':[0,4,7,10],'m7':[0,3,7,10],'M7':[0,4,7,11],'s':[0,5,7],'d':[0,3,6],'5':[0,7,12],'9':[0,4,7,14],'m9':[0,3,7,14]}
def instruments(o):
    """o: dict of overrides. Returns wave/instr text."""
    L = []
    g = lambda k, d: o.get(k, d)
    L.append('; drums: noise bursts and falling pulse, absolute pitches')
    L.append('wave kick ' + g('kickw', '81:C-6 41:C-3 41:G#2 41:E-2 41:C-2 40:A-1'))
    L.append('wave snare ' + g('snarew', '81:D-6 41:A-3 81:C-6 81:A#5 81:G#5 80:F-5'))
    L.append('wave hat ' + g('hatw', '81:A#7 80:G#7'))
    L.append('wave crash ' + g('crashw', '81:C-7 81:A-6'))
    L.append('wave tom ' + g('tomw', '81:C-5 41:E-3 41:D-3 41:C-3 41:A#2 41:G#2 40:F#2'))
    L.append('instr kick ad=%s sr=00 wave=kick pw=800' % g('kickad', '08'))
    L.append('instr snare ad=%s sr=00 wave=snare pw=800' % g('snaread', '08'))
    L.append('instr hat ad=%s sr=00 wave=hat pw=800' % g('hatad', '02'))
    L.append('instr crash ad=%s sr=00 wave=crash pw=800' % g('crashad', '0A'))
    L.append('instr tom ad=%s sr=00 wave=tom pw=800' % g('tomad', '08'))
    L.append('; bass')
    L.append('wave bass ' + g('bassw', '81:+24 41:+0'))
    bassi = 'ad=%s sr=%s wave=bass pw=%s pws=%s pwr=%s' % (g('bassad', '09'), g('basssr', 'A9'), g('basspw', '300'), g('basspws', '24'), g('basspwr', '2-C'))
    L.append('instr bass ' + bassi + ' ' + g('bassx', '') + (' route' if 'bassflt' in o else ''))
    if 'bassflt' in o:
        L.append('instr bassF ' + bassi + ' route ' + o['bassflt'])
    L.append('; lead and its echo')
    L.append('wave lead ' + g('leadw', '41:+0'))
    leadi = 'wave=lead pw=%s pws=%s pwr=%s vib=%s' % (g('leadpw', '600'), g('leadpws', '10'), g('leadpwr', '3-B'), g('leadvib', '12,3,3'))
    L.append('instr lead ad=%s sr=%s %s %s' % (g('leadad', '0A'), g('leadsr', 'A9'), leadi, g('leadx', '')))
    L.append('instr echo ad=%s sr=%s %s %s' % (g('echoad', '0A'), g('echosr', '59'), leadi, g('echox', '')))
    L.append('; chords')
    aw = g('arpw', '41')
    rep = int(g('arprep', '1'))
    for q, iv in ARPQ.items():
        steps = []
        for k, x in enumerate(iv):
            for r in range(rep):
                steps.append(('%s:+%d' % (aw, x)) if (k == 0 and r == 0) else '+%d' % x)
        L.append('wave a%s %s loop' % (q, ' '.join(steps)))
    arpi = 'ad=%s sr=%s pw=%s pws=%s pwr=%s %s' % (g('arpad', '00'), g('arpsr', 'C9'), g('arppw', '400'), g('arppws', '20'), g('arppwr', '2-D'), g('arpx', ''))
    for q in ARPQ:
        L.append('instr arp%s wave=a%s %s' % (q, q, arpi) + (' route' if 'arpflt' in o else ''))
        if 'arpflt' in o:
            L.append('instr arp%sF wave=a%s %s route %s' % (q, q, arpi, o['arpflt']))
    L.append('; pad')
    L.append('wave pad ' + g('padw', '21:+0'))
    padi = 'ad=%s sr=%s wave=pad pw=%s pws=%s pwr=%s vib=%s %s' % (g('padad', '88'), g('padsr', 'AA'), g('padpw', '800'), g('padpws', '6'), g('padpwr', '3-C'), g('padvib', '20,4,4'), g('padx', ''))
    L.append('instr pad ' + padi + (' route' if 'padflt' in o else ''))
    if 'padflt' in o:
        L.append('instr padF ' + padi + ' route ' + o['padflt'])
    return '\n'.join(L)
