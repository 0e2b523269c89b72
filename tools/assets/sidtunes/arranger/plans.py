# The twelve tunes' plans. Usage: python3 plans.py OUTDIR [N ...]
import os, sys
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from arrange import *

R_drive = [[4,2,2,4,4],[2,2,2,2,4,4],[3,3,2,4,4],[2,2,4,2,2,4],[6,2,4,4]]
R_bouncy = [[2,2,4,2,2,4],[3,1,2,2,4,4],[2,4,2,4,4],[4,2,2,2,2,4]]
R_slow = [[8,4,4],[12,4],[6,2,8],[4,4,8],[10,2,4]]
R_fast = [[2,2,2,2,2,2,2,2],[1,1,2,2,2,4,4],[3,3,2,2,2,4]]
R_syn = [[3,3,4,2,4],[3,3,2,'r2',2,4],[2,3,3,4,4],['r2',2,2,2,4,4]]
R_epic = [[8,8],[4,4,8],[12,4],[6,2,8]]
PLANS = {}

R1 = [[4,2,2,4,4],[2,2,2,2,4,4],[3,3,2,4,4],[2,2,4,2,2,4],[6,2,4,4]]
R2 = [[2,2,2,2,2,2,2,2],[1,1,2,2,2,4,4],[3,3,2,2,2,4]]
PLANS[1] = dict(title='Frostbyte Run', note='fast, driving, minor', key='A', scale='minor', speed=[5,5], bass_oct=2,
  filter_owner='arp',
  instruments=instruments(dict(arpflt='flt=18:200:08:60 res=9 mode=lp', arpw='41', arpsr='A9',
      leadw='41:+12 41:+0', leadvib='10,2,3', bassw='81:+24 41:+0 41:+0 40:+0')),
  sections=[
    dict(name='intro', chords=['Am','Am','F','G'], bass='KrorSrorKrorSror', v3='H-H-H-H-H-H-HHH-'),
    dict(name='intro2', chords=['Am','Am','F','G'], bass='KrorSrorKrorSror', v3='A...A...A...A.A.'),
    dict(name='A', chords=['Am','F','C','G','Am','F','G','E'], bass='KoroSoroKoroSoro', v3='A...A...A...A.A.',
         lead=dict(rhythms=R1, center=69)),
    dict(name='B', chords=['Dm','Am','Dm','E','F','C','Dm','E'], bass=['KrfrSrfoKrfrSrfo'], v3='echo3',
         lead=dict(rhythms=R1, center=72)),
    dict(name='A2', chords=['Am','F','C','G','Am','F','G','E'], bass='KoroSoroKoroSoro', v3='A.A.A.A.A.A.A.A.',
         lead=dict(rhythms=R1, center=69, motif='A', oct=1)),
    dict(name='break', chords=['F','G','Am','Am','F','G','E','E'], bass='KrrrSrrrKrrrSrSS', v3='A...............',
         fill='KrSrSSSSTTTTSSSS'),
    dict(name='C', chords=['Am','G','F','E','Am','G','F','E'], bass='KoroSoroKoroSoro', v3='H-H-H-H-H-H-HHH-',
         lead=dict(rhythms=R2, center=76, steps=[-1,1,1,-1,2,-2])),
    dict(name='D', chords=['Dm','G','C','F','Dm','E','Am','Am'], bass='KrfrSrfoKrfrSrfo', v3='echo2',
         lead=dict(rhythms=R1, center=72)),
    dict(name='A3', chords=['Am','F','C','G','Am','F','G','E'], bass='KoroSoroKoroSoro', v3='A.A.A.A.A.A.A.A.',
         lead=dict(rhythms=R1, center=69, motif='A'), fill='KoroSoroSSSSTTCC'),
  ])

PLANS[2] = dict(title='Copperline', note='bright, bouncy, major', key='D', scale='major', speed=[7,5], bass_oct=2,
  filter_owner='arp', loop_bar=4,
  instruments=instruments(dict(arpflt='flt=30:120:18:80 res=6 mode=lp', arpw='41', arpsr='89', arppws='40',
      leadw='41:+0 41:+0 21:+0', leadvib='8,2,2', leadpw='400', leadpws='20',
      bassw='81:+36 41:+0', basspws='30', bassad='0A', basssr='99')),
  sections=[
    dict(name='intro', chords=['D','G','D','A'], bass='KoroSoroKoroSoro', v3='A.A.A.A.A.A.A.A.'),
    dict(name='A', chords=['D','Bm','G','A','D','Bm','Em','A'], bass='KoroSroKoroSoro', v3='A...A.A.A...A.A.',
         lead=dict(rhythms=R_bouncy, center=74)),
    dict(name='B', chords=['G','A','F#m','Bm','G','A','D','D'], bass='KrfoSrfoKrfoSrfo', v3='echo2',
         lead=dict(rhythms=R_bouncy, center=78)),
    dict(name='A2', chords=['D','Bm','G','A','D','Bm','Em','A'], bass='KoroSoroKoroSoro', v3='A.A.A.A.A.A.A.A.',
         lead=dict(rhythms=R_bouncy, center=74, motif='A', oct=1)),
    dict(name='C', chords=['Em','A','D','Bm','Em','A','D','D'], bass='KrrrSrrrKrrrSoSo', v3='H-H-HHH-H-H-HHHH',
         lead=dict(rhythms=R_fast, center=78, steps=[-1,1,1,-1,2,-2])),
    dict(name='brk', chords=['G','G','A','A'], bass='KrSrKrSrKrSrSSSS', v3='A...............'),
    dict(name='B2', chords=['G','A','F#m','Bm','G','A','D','D'], bass='KrfoSrfoKrfoSrfo', v3='A.A.A.A.A.A.A.A.',
         lead=dict(rhythms=R_bouncy, center=78, motif='B')),
    dict(name='A3', chords=['D','Bm','G','A','D','Bm','Em','A'], bass='KoroSoroKoroSoro', v3='echo3',
         lead=dict(rhythms=R_bouncy, center=74, motif='A'), fill='KoroSoroSSTTTTCC'),
  ])

PLANS[3] = dict(title='Midnight Tram', note='slow, dark minor, filter sweeps', key='D', scale='minor', speed=[8,8], bass_oct=2,
  filter_owner='pad', loop_bar=2,
  instruments=instruments(dict(padflt='flt=10:40:08:70 res=C mode=lp', padw='21:+0', padad='A8', padsr='AB', padvib='30,5,5',
      bassx='', bassw='41:+0', bassad='0C', basssr='6A', basspws='8',
      leadw='41:+0', leadad='4A', leadsr='9B', leadvib='24,4,3', leadpws='6', leadpwr='4-9',
      echosr='4A', snaread='0A', kickad='09')),
  sections=[
    dict(name='intro', chords=['Dm','Dm'], bass='r.......r.......', v3='P'),
    dict(name='intro2', chords=['Dm','Bb','Gm','A'], bass='K.r.....S.r.o...', v3='P'),
    dict(name='A', chords=['Dm','Bb','Gm','A','Dm','Bb','Gm','A'], bass='K.r...r.S.r.o...', v3='P',
         lead=dict(rhythms=R_slow, center=62)),
    dict(name='B', chords=['Gm','Dm','Eb','A','Gm','Dm','Eb','A'], bass=['K.r...f.S.r.o...'], v3='echo4',
         lead=dict(rhythms=R_slow, center=65)),
    dict(name='brk', chords=['Bb','Gm','A','A'], bass='r.......f.......', v3='P'),
    dict(name='A2', chords=['Dm','Bb','Gm','A','Dm','Bb','Gm','A'], bass='K.r...r.S.r.o.r.', v3='P',
         lead=dict(rhythms=R_slow, center=62, motif='A', oct=1)),
    dict(name='out', chords=['Dm','Bb','A','Dm'], bass='K.r.....S.r.o...', v3='P',
         lead=dict(rhythms=R_slow, center=62, motif='B')),
  ])

PLANS[4] = dict(title='Harvest Moonbase', note='mid-tempo, major, folk-like', key='G', scale='major', speed=[6,6], bass_oct=2,
  filter_owner='arp', loop_bar=4,
  instruments=instruments(dict(arpflt='flt=40:60:20:70 res=4 mode=lp', arpw='41', arprep='2', arpsr='79',
      leadw='11:+0', leadad='2A', leadsr='AA', leadvib='14,4,3',
      echow='11:+0', bassw='41:+0', basspws='12', bassad='0A', basssr='8A')),
  sections=[
    dict(name='intro', chords=['G','C','G','D'], bass='r.f.S.f.r.f.S.o.', v3='A.......A.......'),
    dict(name='A', chords=['G','C','G','D','G','C','D','G'], bass='K.f.S.f.K.f.S.o.', v3='A...A...A...A...',
         lead=dict(rhythms=R_bouncy + [[6,2,4,4]], center=67)),
    dict(name='B', chords=['Em','C','G','D','Em','C','D','D'], bass='K.f.S.f.K.o.S.f.', v3='echo3',
         lead=dict(rhythms=R_drive, center=71)),
    dict(name='A2', chords=['G','C','G','D','G','C','D','G'], bass='K.f.S.f.K.f.S.o.', v3='A.A.A.A.A.A.A.A.',
         lead=dict(rhythms=R_bouncy, center=67, motif='A', oct=1)),
    dict(name='C', chords=['C','D','Bm','Em','C','D','G','G'], bass='KrfoSrfoKrfoSrfo', v3='A...A...A...A...',
         lead=dict(rhythms=R_slow, center=71)),
    dict(name='A3', chords=['G','C','G','D','G','C','D','G'], bass='K.f.S.f.K.f.S.o.', v3='echo2',
         lead=dict(rhythms=R_bouncy, center=67, motif='A')),
  ])

PLANS[5] = dict(title='Glass Canyon', note='mysterious, arpeggio-heavy, dorian', key='E', scale='dorian', speed=[6,6], bass_oct=2,
  filter_owner='arp', loop_bar=4,
  instruments=instruments(dict(arpflt='flt=20:50:10:78 res=D mode=lp', arpw='41', arpsr='BA', arppws='50', arppwr='1-E',
      leadw='41:+0 41:+12 41:+0', leadad='3A', leadsr='9A', leadvib='20,5,4', leadpw='200', leadpws='4', leadpwr='1-5',
      bassw='41:+0', bassad='0B', basssr='7A', basspw='800', basspws='0', hatad='01')),
  sections=[
    dict(name='intro', chords=['Em7','A7','Em7','A7'], bass='r.......o.......', v3='A'),
    dict(name='A', chords=['Em7','A7','Em7','A7','Gsus','D','Em7','Em7'], bass='K.r.o.r.S.r.o.f.', v3='A',
         lead=dict(rhythms=R_slow + R_syn, center=71, cadence=False)),
    dict(name='B', chords=['Cadd9','D','Em9','Em9','Cadd9','D','Bm7','Bm7'], bass='K.r.o.f.S.r.o.f.', v3='A',
         lead=dict(rhythms=R_syn, center=76)),
    dict(name='brk', chords=['Em7','A7','Em7','A7'], bass='r.......o.......', v3='A'),
    dict(name='A2', chords=['Em7','A7','Em7','A7','Gsus','D','Em7','Em7'], bass='K.r.o.r.S.r.o.f.', v3='A',
         lead=dict(rhythms=R_slow, center=71, motif='A', oct=1, cadence=False)),
    dict(name='C', chords=['Am7','D','Em7','Em7','Am7','D','Bm7','Em7'], bass='KrorSrorKrorSror', v3='A',
         lead=dict(rhythms=R_fast, center=76)),
    dict(name='A3', chords=['Em7','A7','Gsus','Em7'], bass='K.r.o.r.S.r.o.f.', v3='A',
         lead=dict(rhythms=R_slow, center=71, motif='A')),
  ])

PLANS[6] = dict(title='Ninth Wave', note='epic, fast, minor', key='C', scale='minor', speed=[4,4], bass_oct=2,
  filter_owner='arp', loop_bar=4,
  instruments=instruments(dict(arpflt='flt=28:160:10:70 res=8 mode=lp', arpw='41', arpsr='A9',
      leadw='21:+0', leadad='09', leadsr='BA', leadvib='16,3,3', leadpws='0',
      bassw='81:+24 41:+0 41:+0', bassad='08', basssr='A8', basspws='40')),
  sections=[
    dict(name='intro', chords=['Cm','Cm','Ab','Bb'], bass='KrrrSrrrKrrrSrrr', v3='H-H-H-H-H-H-HHHH'),
    dict(name='intro2', chords=['Cm','Cm','Ab','Bb'], bass='KrorSrorKrorSror', v3='A...A...A...A.A.'),
    dict(name='A', chords=['Cm','Ab','Eb','Bb','Cm','Ab','Bb','G'], bass='KrorSrorKrorSror', v3='A...A...A...A.A.',
         lead=dict(rhythms=R_epic, center=67)),
    dict(name='B', chords=['Fm','Cm','Ab','G','Fm','Cm','Ab','G'], bass='KrrrSrrrKrrrSror', v3='echo3',
         lead=dict(rhythms=R_epic + R_drive, center=70)),
    dict(name='A2', chords=['Cm','Ab','Eb','Bb','Cm','Ab','Bb','G'], bass='KrorSrorKrorSror', v3='A.A.A.A.A.A.A.A.',
         lead=dict(rhythms=R_epic, center=67, motif='A', oct=1)),
    dict(name='C', chords=['Ab','Bb','Cm','Cm','Ab','Bb','G','G'], bass='KoroSoroKoroSoro', v3='A...A...A...A.A.',
         lead=dict(rhythms=R_fast, center=72, steps=[-1,1,1,-1,2,-2])),
    dict(name='brk', chords=['Cm','Ab','Bb','G','Cm','Ab','Bb','G'], bass='KrrrSrrrKrrrSSSS', v3='H-H-H-H-H-H-HHHH'),
    dict(name='B2', chords=['Fm','Cm','Ab','G','Fm','Cm','Ab','G'], bass='KrrrSrrrKrrrSror', v3='A.A.A.A.A.A.A.A.',
         lead=dict(rhythms=R_epic, center=70, motif='B', oct=1)),
    dict(name='A3', chords=['Cm','Ab','Eb','Bb','Cm','Ab','Bb','Cm'], bass='KrorSrorKrorSror', v3='echo2',
         lead=dict(rhythms=R_epic, center=67, motif='A'), fill='KrorSrorSSSSTTCC'),
  ])

PLANS[7] = dict(title='Rusty Orbit', note='funky, syncopated bass', key='E', scale='dorian', speed=[6,6], bass_oct=2,
  filter_owner='bass', loop_bar=2, slide=60,
  instruments=instruments(dict(bassflt='flt=50:400:18:50 res=A mode=lp fdown fonce', bassw='41:+0', bassad='09', basssr='89', basspws='0', basspw='500',
      bassx='flt=50:400:18:50 res=A mode=lp fdown fonce', arpw='41', arpsr='09', arpad='03',
      leadw='41:+0', leadad='0A', leadsr='8A', leadvib='12,3,3', leadpw='300', leadpws='12')),
  sections=[
    dict(name='intro', chords=['Em7','Em7'], bass='r--oK-rQS-ro--Gr', v3='H-H-H-H-H-H-H-H-'),
    dict(name='A', chords=['Em7','Em7','A7','A7','Em7','Em7','Bm7','A7'], bass='r--oK-rQS-ro--Gr', v3='--A---A---A-A---',
         lead=dict(rhythms=R_syn, center=71)),
    dict(name='B', chords=['Cadd9','D','Em7','Em7','Cadd9','D','Bm7','Bm7'], bass='r-roK-oQS-rr-oGr', v3='echo3',
         lead=dict(rhythms=R_syn + R_bouncy, center=74)),
    dict(name='A2', chords=['Em7','Em7','A7','A7','Em7','Em7','Bm7','A7'], bass='r--oK-rQS-ro--Gr', v3='H-H-H-H-H-H-H-H-',
         lead=dict(rhythms=R_syn, center=71, motif='A', oct=1)),
    dict(name='C', chords=['Am7','D','Em7','Em7','Am7','D','Bm7','Bm7'], bass='rr-oK-rQS-rorGr-', v3='--A---A---A-A---',
         lead=dict(rhythms=R_fast, center=76)),
    dict(name='brk', chords=['Em7','Em7','A7','A7'], bass='K-K-S-K-K-K-S-SS', v3='A...............'),
    dict(name='A3', chords=['Em7','Em7','A7','A7','Em7','Em7','Bm7','A7'], bass='r--oK-rQS-ro--Gr', v3='--A---A---A-A---',
         lead=dict(rhythms=R_syn, center=71, motif='A'), fill='r--oK-rQSSSSTTCC'),
  ])

PLANS[8] = dict(title='Lanterns', note='gentle ballad, major', key='F', scale='major', speed=[8,8], bass_oct=2,
  filter_owner='pad', loop_bar=0,
  instruments=instruments(dict(padflt='flt=30:20:18:50 res=5 mode=lp', padw='11:+0', padad='88', padsr='9A', padvib='30,6,5',
      arpw='11', arprep='3', arpad='22', arpsr='79',
      leadw='11:+0', leadad='4A', leadsr='AA', leadvib='20,4,3', echosr='6A',
      bassw='11:+0', bassad='0B', basssr='9A', basspws='0', kickad='06', snaread='05', snarew='81:C-6 80:A#5')),
  sections=[
    dict(name='intro', chords=['F','Dm','Bb','C'], bass='r.......f.......', v3='A'),
    dict(name='A', chords=['F','Dm','Bb','C','F','Am','Bb','C'], bass='K.r.....o...f...', v3='A',
         lead=dict(rhythms=R_slow + [[4,2,2,8]], center=69)),
    dict(name='B', chords=['Bb','C','Am','Dm','Bb','C','F','F'], bass='K.r.....S...f...', v3='echo4',
         lead=dict(rhythms=R_slow, center=72)),
    dict(name='A2', chords=['F','Dm','Bb','C','F','Am','Bb','C'], bass='K.r...f.S.o...f.', v3='P',
         lead=dict(rhythms=R_slow, center=69, motif='A', oct=1)),
    dict(name='C', chords=['Gm','C','F','Dm','Gm','C','F','F'], bass='K.r.....S...f...', v3='A',
         lead=dict(rhythms=R_slow, center=72)),
  ])

PLANS[9] = dict(title='Static Bloom', note='noisy, industrial, fast', key='B', scale='phrygian', speed=[4,4], bass_oct=2,
  filter_owner='bass', loop_bar=4,
  instruments=instruments(dict(bassflt='flt=60:100:20:70 res=9 mode=lp', bassw='81:+36 21:+0', bassad='08', basssr='98',
      leadw='15:+0 15:+0 41:+0', leadad='0A', leadsr='9A', leadvib='8,2,2', leadpws='30',
      arpw='81', arpsr='00', arpad='05',
      hatw='81:A#7 80:F#7', snarew='81:F-6 81:C-4 81:D#6 81:B-5 81:A-5 80:G-5', snaread='09', kickw='81:C-6 41:A-2 41:F-2 41:C#2 40:A-1')),
  sections=[
    dict(name='intro', chords=['B5','B5','C5','C5'], bass='KHHHSHHHKHHHSHKH', v3='H-H-H-H-H-H-HHH-'),
    dict(name='intro2', chords=['B5','B5','C5','A5'], bass='KrrrSrrrKrrrSrrr', v3='SHHHSHHHSHHHSHSS'),
    dict(name='A', chords=['B5','C5','B5','A5','B5','C5','D5','C5'], bass='KrorSrorKrorSror', v3='H-H-H-H-H-H-HHH-',
         lead=dict(rhythms=R_fast + R_drive, center=71)),
    dict(name='B', chords=['G5','A5','B5','B5','G5','A5','C5','C5'], bass='KrKrSrKrKrKrSrSr', v3='echo2',
         lead=dict(rhythms=R_syn, center=74)),
    dict(name='brk', chords=['B5','C5','B5','C5'], bass='KKKKSHHHKKKKSHSS', v3='HHHHHHHHHHHHSSSS'),
    dict(name='A2', chords=['B5','C5','B5','A5','B5','C5','D5','C5'], bass='KrorSrorKrorSror', v3='HHH-HHH-HHH-HHSS',
         lead=dict(rhythms=R_fast, center=71, motif='A', oct=1)),
    dict(name='C', chords=['E5','D5','C5','B5','E5','D5','C5','B5'], bass='KrrrSrrrKrrrSrrr', v3='H-H-H-H-H-H-HHH-',
         lead=dict(rhythms=R_drive, center=76)),
    dict(name='B2', chords=['G5','A5','B5','B5','G5','A5','C5','C5'], bass='KrKrSrKrKrKrSrSr', v3='SHHHSHHHSHHHSHSS',
         lead=dict(rhythms=R_syn, center=74, motif='B')),
    dict(name='A3', chords=['B5','C5','B5','A5','B5','C5','D5','B5'], bass='KrorSrorKrorSror', v3='echo3',
         lead=dict(rhythms=R_fast, center=71, motif='A'), fill='KrorSrorSSSSTTTT'),
  ])

PLANS[10] = dict(title='Dune Cartographer', note='exotic, phrygian, mid-tempo', key='E', scale='phrygian', speed=[6,6], bass_oct=2,
  filter_owner='arp', loop_bar=4, slide=200,
  instruments=instruments(dict(arpflt='flt=30:80:18:60 res=B mode=bp', arpw='41', arprep='2', arpsr='A9',
      leadw='41:+0', leadad='1A', leadsr='AA', leadvib='6,2,3', leadpw='500', leadpws='8',
      bassw='41:+0', bassad='0A', basssr='AA', basspws='16', tomw='81:A-4 41:C-3 41:B-2 41:A-2 41:G-2')),
  sections=[
    dict(name='intro', chords=['E','F','E','F'], bass='K..rT.r.S..rT.f.', v3='A'),
    dict(name='A', chords=['E','F','G','F','E','F','Dm','E'], bass='K..rT.r.S..rT.f.', v3='A...A...A...A...',
         lead=dict(rhythms=R_syn + R_slow, center=71, glide=0.25)),
    dict(name='B', chords=['Am','G','F','E','Am','G','F','E'], bass='K.r.T.r.S.r.T.o.', v3='echo3',
         lead=dict(rhythms=R_bouncy, center=74, glide=0.2)),
    dict(name='A2', chords=['E','F','G','F','E','F','Dm','E'], bass='K..rT.r.S..rT.f.', v3='A.A.A.A.A.A.A.A.',
         lead=dict(rhythms=R_syn, center=71, motif='A', oct=1, glide=0.25)),
    dict(name='C', chords=['Dm','E','F','E','Dm','E','F','E'], bass='KrorTrorSrorTror', v3='A...A...A...A...',
         lead=dict(rhythms=R_fast, center=76, glide=0.1)),
    dict(name='A3', chords=['E','F','G','F','E','F','Dm','E'], bass='K..rT.r.S..rT.f.', v3='echo2',
         lead=dict(rhythms=R_syn, center=71, motif='A', glide=0.25), fill='K..rT.r.SSTTTTCC'),
  ])

PLANS[11] = dict(title='Slow Signal', note='slow, spacey, long filter sweeps', key='A', scale='minor', speed=[9,9], bass_oct=2,
  filter_owner='pad', loop_bar=0,
  instruments=instruments(dict(padflt='flt=08:24:08:68 res=E mode=lp', padw='21:+0', padad='C8', padsr='AC', padvib='40,8,5', padpws='3',
      bassw='11:+0', bassad='2C', basssr='8C', basspws='0',
      leadw='41:+0', leadad='6B', leadsr='AC', leadvib='30,6,3', leadpws='3', leadpwr='2-7', echosr='5C',
      hatad='04', hatw='81:G-7 80:E-7')),
  sections=[
    dict(name='intro', chords=['Am','Am','F','F'], bass='r...............', v3='P'),
    dict(name='A', chords=['Am','F','C','G','Am','F','Em','Em'], bass='r.......o.......', v3='P',
         lead=dict(rhythms=R_slow + [[16]], center=69)),
    dict(name='B', chords=['Dm','Am','F','E','Dm','Am','F','E'], bass='r.......f.......', v3='echo6',
         lead=dict(rhythms=R_slow, center=72)),
    dict(name='A2', chords=['Am','F','C','G','Am','F','Em','Em'], bass='r...H...o...H...', v3='P',
         lead=dict(rhythms=R_slow, center=69, motif='A', oct=1)),
    dict(name='out', chords=['F','G','Am','Am'], bass='r.......o.......', v3='P'),
  ])

PLANS[12] = dict(title='Last Light Loader', note='upbeat finale, major, loader-music style', key='A', scale='major', speed=[5,5], bass_oct=2,
  filter_owner='arp', loop_bar=4,
  instruments=instruments(dict(arpflt='flt=40:150:20:78 res=7 mode=lp', arpw='41', arpsr='A9', arppws='60',
      leadw='41:+0 41:+0 41:+12 41:+0', leadad='0A', leadsr='A9', leadvib='10,2,2', leadpws='24',
      bassw='81:+24 41:+0', bassad='09', basssr='A9', basspws='32')),
  sections=[
    dict(name='intro', chords=['A','F#m','D','E'], bass='KoroSoroKoroSoro', v3='A.A.A.A.A.A.A.A.'),
    dict(name='A', chords=['A','F#m','D','E','A','F#m','D','E'], bass='KoroSoroKoroSoro', v3='A...A...A...A.A.',
         lead=dict(rhythms=R_drive, center=76)),
    dict(name='B', chords=['D','E','C#m','F#m','D','E','A','A'], bass='KrfoSrfoKrfoSrfo', v3='echo2',
         lead=dict(rhythms=R_bouncy, center=78)),
    dict(name='A2', chords=['A','F#m','D','E','A','F#m','D','E'], bass='KoroSoroKoroSoro', v3='A.A.A.A.A.A.A.A.',
         lead=dict(rhythms=R_drive, center=76, motif='A', oct=1)),
    dict(name='C', chords=['Bm','E','A','F#m','Bm','E','A','A'], bass='KrrrSrrrKrrrSoSo', v3='H-H-HHH-H-H-HHHH',
         lead=dict(rhythms=R_fast, center=80, steps=[-1,1,1,-1,2,-2])),
    dict(name='brk', chords=['D','E','D','E'], bass='KrSrKrSrKrSrSSSS', v3='A...............'),
    dict(name='B2', chords=['D','E','C#m','F#m','D','E','A','A'], bass='KrfoSrfoKrfoSrfo', v3='A.A.A.A.A.A.A.A.',
         lead=dict(rhythms=R_bouncy, center=78, motif='B')),
    dict(name='A3', chords=['A','F#m','D','E','A','F#m','D','A'], bass='KoroSoroKoroSoro', v3='echo3',
         lead=dict(rhythms=R_drive, center=76, motif='A'), fill='KoroSoroSSTTTTCC'),
  ])


def ins(n, at, sec): PLANS[n]['sections'].insert(at, sec)
ins(4, 4, dict(name='B2', chords=['Em','C','G','D','Em','C','D','D'], bass='KrfrSrfrKrfoSrfo', v3='A.A.A.A.A.A.A.A.',
         lead=dict(rhythms=R_drive, center=71, motif='B', oct=1)))
ins(5, 4, dict(name='B2', chords=['Cadd9','D','Em9','Em9','Cadd9','D','Bm7','Bm7'], bass='KrorSrorKrorSror', v3='echo3',
         lead=dict(rhythms=R_syn, center=76, motif='B')))
ins(6, 6, dict(name='D', chords=['Eb','Bb','Cm','Ab','Eb','Bb','G','G'], bass='KoroSoroKoroSoro', v3='echo2',
         lead=dict(rhythms=R_epic, center=74)))
ins(6, 7, dict(name='D2', chords=['Eb','Bb','Cm','Ab','Fm','G','Cm','G'], bass='KrorSrorKrorSror', v3='A.A.A.A.A.A.A.A.',
         lead=dict(rhythms=R_drive, center=72, motif='D')))
ins(7, 5, dict(name='D', chords=['Gadd9','A7','Bm7','Bm7','Gadd9','A7','Em7','Em7'], bass='rr-oK-rQS-rorGr-', v3='echo2',
         lead=dict(rhythms=R_bouncy, center=74)))
ins(9, 5, dict(name='D', chords=['E5','F5','G5','F5','E5','F5','G5','A5'], bass='KrrrSrrrKrrrSrrr', v3='echo3',
         lead=dict(rhythms=R_epic, center=71)))
ins(9, 6, dict(name='D2', chords=['E5','F5','G5','F5','E5','F5','G5','A5'], bass='KrorSrorKrorSror', v3='HHH-HHH-HHH-HHSS',
         lead=dict(rhythms=R_drive, center=74, motif='D')))
ins(10, 4, dict(name='D', chords=['Am','Dm','E','E','Am','Dm','F','E'], bass='K.r.T.r.S.r.T.o.', v3='A.A.A.A.A.A.A.A.',
         lead=dict(rhythms=R_slow, center=74, glide=0.3)))
ins(12, 5, dict(name='D', chords=['F#m','D','A','E','F#m','D','E','E'], bass='KrorSrorKrorSror', v3='echo3',
         lead=dict(rhythms=R_bouncy, center=78)))

ins(3, 5, dict(name='C', chords=['Eb','Bb','Gm','A','Eb','Bb','Gm','A'], bass='K.r...o.S.f.r...', v3='P',
         lead=dict(rhythms=R_slow, center=67)))
ins(8, 4, dict(name='B2', chords=['Bb','C','Am','Dm','Bb','C','F','F'], bass='K.r...f.S.o...f.', v3='A',
         lead=dict(rhythms=R_slow, center=72, motif='B', oct=1)))
ins(11, 4, dict(name='C', chords=['F','G','Em','Am','F','G','Em','E'], bass='r...H...f...H...', v3='P',
         lead=dict(rhythms=R_slow, center=72)))

ins(3, 2, dict(name='A0', chords=['Dm','Bb','Gm','A','Dm','Bb','Gm','A'], bass='K.r...r.S.r.o...', v3='echo3',
         lead=dict(rhythms=R_slow + R_syn, center=69)))
ins(8, 2, dict(name='A0', chords=['F','C','Dm','Bb','F','C','Bb','C'], bass='K.r.....o...f...', v3='P',
         lead=dict(rhythms=R_bouncy, center=72)))
ins(11, 2, dict(name='A0', chords=['Am','G','F','E','Am','G','F','E'], bass='r.......r.......', v3='echo4',
         lead=dict(rhythms=R_slow, center=66)))
ins(11, 6, dict(name='D', chords=['Dm','F','Am','G','Dm','F','E','E'], bass='r...H...o...H...', v3='P',
         lead=dict(rhythms=[[4,4,8],[8,8],[2,2,4,8]], center=74)))

def setv3(n, name, v): [sec.update(v3=v) for sec in PLANS[n]['sections'] if sec['name'] == name]
setv3(8, 'C', 'echo3'); setv3(8, 'A2', 'echo4')
setv3(11, 'A2', 'echo6'); setv3(11, 'C', 'echo3')

SEEDS = {1: 1}  # tune 1 was drafted first, with its own seed

if __name__ == '__main__':
    out = sys.argv[1]
    for n in (map(int, sys.argv[2:]) if len(sys.argv) > 2 else sorted(PLANS)):
        emit(PLANS[n], SEEDS.get(n, 100 + n), os.path.join(out, 'tune%02d.txt' % n))
