! Prints the records that gfortran's formatted WRITE produces for a list of
! (format, values) cases, in the layout read by tests/core/record_format_test.cpp:
!
!   case <id>
!   fmt |<format>|
!   i <integer>                      one line per value, in order
!   r <IEEE-754 bits in hex> <value>  (the bits are what the test reads)
!   t |<text>|
!   out |<record>|                   one line per record written
!   end
!
! Each record is written to a scratch file and read back byte for byte, so trailing
! blanks are exactly as gfortran leaves them. Run once, by hand:
!   gfortran -ffree-line-length-none record_format_reference.f90 -o gen && ./gen > record_format_reference.txt
module refgen
  use iso_fortran_env, only: int64
  implicit none
  integer :: u
  character(len=*), parameter :: scratch = 'record_format_reference.tmp'
contains
  subroutine begin(id, fmt)
    character(len=*), intent(in) :: id, fmt
    write(*,'(a,a)') 'case ', id
    write(*,'(a,a,a)') 'fmt |', fmt, '|'
    open(newunit=u, file=scratch, status='replace', form='formatted', action='write')
  end subroutine

  subroutine vi(k)
    integer, intent(in) :: k
    write(*,'(a,i0)') 'i ', k
  end subroutine

  subroutine vr(x)
    real(8), intent(in) :: x
    write(*,'(a,z16.16,1x,es24.16e3)') 'r ', transfer(x, 0_int64), x
  end subroutine

  subroutine vt(s)
    character(len=*), intent(in) :: s
    write(*,'(a,a,a)') 't |', s, '|'
  end subroutine

  subroutine finish()
    integer :: v, n, k, start
    character(len=:), allocatable :: buf
    close(u)
    open(newunit=v, file=scratch, access='stream', form='unformatted', action='read')
    inquire(unit=v, size=n)
    allocate(character(len=n) :: buf)
    if (n > 0) read(v) buf
    close(v, status='delete')
    start = 1
    do k = 1, n
      if (buf(k:k) == char(10)) then
        write(*,'(a,a,a)') 'out |', buf(start:k-1), '|'
        start = k + 1
      end if
    end do
    write(*,'(a)') 'end'
  end subroutine

  ! Cases whose values are all reals, all integers or all texts of one length.
  subroutine case_r(id, fmt, x)
    character(len=*), intent(in) :: id, fmt
    real(8), intent(in) :: x(:)
    integer :: k
    call begin(id, fmt)
    do k = 1, size(x)
      call vr(x(k))
    end do
    write(u, fmt) x
    call finish()
  end subroutine

  subroutine case_i(id, fmt, m)
    character(len=*), intent(in) :: id, fmt
    integer, intent(in) :: m(:)
    integer :: k
    call begin(id, fmt)
    do k = 1, size(m)
      call vi(m(k))
    end do
    write(u, fmt) m
    call finish()
  end subroutine

  subroutine case_t(id, fmt, s)
    character(len=*), intent(in) :: id, fmt
    character(len=*), intent(in) :: s(:)
    integer :: k
    call begin(id, fmt)
    do k = 1, size(s)
      call vt(s(k))
    end do
    write(u, fmt) s
    call finish()
  end subroutine

  ! Park and Miller's minimal standard generator, so the list of random reals
  ! does not depend on the compiler's own generator.
  real(8) function uniform(seed)
    integer(int64), intent(inout) :: seed
    seed = mod(seed * 16807_int64, 2147483647_int64)
    uniform = real(seed, 8) / 2147483647d0
  end function
end module

program record_format_reference
  use refgen
  implicit none
  real(8) :: inf, nan, negzero, x, v9(9)
  real(8) :: r4(4)
  integer :: k, j
  integer(int64) :: seed
  character(len=6) :: id
  character(len=*), parameter :: rfmt = '(es15.6,e15.7,f12.6,ES12.4)'

  inf = huge(1d0)
  inf = inf * 10d0
  nan = inf - inf
  negzero = -0d0

  ! ---- F: rounding of exact ties goes to even; other values round correctly.
  call case_r('f-tie-0.125', '(f5.2)', [0.125d0])
  call case_r('f-tie-0.375', '(f5.2)', [0.375d0])
  call case_r('f-tie-0.625', '(f5.2)', [0.625d0])
  call case_r('f-tie-2.5', '(f4.0)', [2.5d0])
  call case_r('f-tie-3.5', '(f4.0)', [3.5d0])
  call case_r('f-tie-0.5', '(f4.0)', [0.5d0])
  call case_r('f-tie-1.5', '(f3.0)', [1.5d0])
  call case_r('f-near-tie', '(f6.2,f6.2,f6.2,f6.2)', [99.995d0, 0.005d0, 0.015d0, 0.025d0])
  call case_r('f-carry', '(f6.2,f5.2,f7.3)', [99.996d0, 99.996d0, -9.9996d0])
  call case_r('f-negative', '(f8.3,f8.3,f5.1)', [-1.2345d0, -123.4567d0, -7.25d0])
  call case_r('f-zero', '(f5.2,f3.2,f2.0,f2.1,f4.1)', [0d0, 0d0, 0d0, 0d0, 0d0])
  call case_r('f-zero-too-narrow', '(f1.0)', [0d0])
  call case_r('f-negzero', '(f5.2,f3.1,f2.1)', [negzero, negzero, negzero])
  call case_r('f-neg-rounds-to-zero', '(f5.2,f4.2,f3.2,f3.0,f2.0)', [-0.001d0, -0.001d0, -0.001d0, -0.4d0, -0.4d0])
  call case_r('f-leading-zero', '(f3.2,f4.2,f4.2,f5.2,f1.0)', [0.5d0, 0.5d0, -0.5d0, -0.5d0, 0.4d0])
  call case_r('f-overflow', '(f5.1,f5.2,f6.2,f4.1)', [1d300, 99.996d0, -99.996d0, 123.4d0])
  call case_r('f-wide', '(f30.2,f30.2,f40.20)', [1.23456789012345678d25, -1d20, 1d0/3d0])
  call case_r('f-d-greater-than-w', '(f3.5)', [0.5d0])
  call case_r('f-infnan', '(f12.6,f12.6,f12.6)', [inf, -inf, nan])
  call case_r('f-inf-widths', '(f2.0,f3.0,f7.0,f8.0,f9.0)', [inf, inf, inf, inf, inf])
  call case_r('f-neginf-widths', '(f3.0,f4.0,f8.0,f9.0)', [-inf, -inf, -inf, -inf])
  call case_r('f-nan-widths', '(f2.0,f3.0,f5.1)', [nan, nan, nan])

  ! ---- E and ES.
  call case_r('e-tie', '(e10.1,e10.1,e10.1,e6.1)', [0.5d0, 0.25d0, 0.75d0, 2.5d0])
  call case_r('es-tie', '(es10.1,es10.0,es10.0,es8.2)', [2.25d0, 2.5d0, 3.5d0, 1.125d0])
  call case_r('e-carry', '(e10.3,es10.3,es10.3,e12.4)', [9.9995d0, 9.9995d0, 9.9996d0, 9.99994d99])
  call case_r('e-zero', '(e10.3,es10.3,e15.7,es15.7,e6.1,es6.1)', [0d0, 0d0, 0d0, 0d0, 0d0, 0d0])
  call case_r('e-negzero', '(e10.3,es10.3)', [negzero, negzero])
  call case_r('e-negative', '(e12.4,es12.4,e10.4,e9.4,es9.4,es10.4)', [-1.5d-3, -1.5d-3, -1d0, -1d0, -1d0, -1d0])
  call case_r('e-leading-zero', '(e10.4,e9.4,e8.4,e7.1)', [1d0, 1d0, 1d0, -2.5d0])
  call case_r('e-exp3', '(e12.4,es12.4,es12.4,es11.4,es10.4)', [1d100, 1d-100, -1.23456d-100, -1d100, -1d100])
  call case_r('e-exp3-narrow', '(e7.1,e6.1,e8.1,e7.1)', [2.5d100, 2.5d100, -2.5d100, -2.5d100])
  call case_r('e-exp-extremes', '(es15.6,e15.7,es15.6,e15.7)', [huge(1d0), huge(1d0), tiny(1d0), 4.9406564584124654d-324])
  call case_r('e-exp-boundary', '(e12.4,e12.4,es12.4,es12.4,e12.4)', [9.99996d98, 0.99995d-98, 9.99996d99, 9.99996d-100, 1d-99])
  call case_r('e-infnan', '(e15.6,es15.6,es3.1,e4.1,es8.1)', [-inf, nan, inf, -inf, inf])

  ! ---- I.
  call case_i('i-basic', '(i4,i4,i4,i1,i3)', [7, -123, 0, -0, 0])
  call case_i('i-overflow', '(i4,i4,i1)', [12345, -1234, -1])
  call case_i('i-min-digits', '(i4.3,i4.3,i4.0,i4.4,i4.0)', [5, -5, 0, -5, 3])
  call case_i('i-extremes', '(i11,i11,i10)', [huge(1), -huge(1)-1, -huge(1)-1])

  ! ---- A.
  call begin('a-justify-and-cut', '(a5,"|",a5,"|",a,"|",a3)')
  call vt('ab'); call vt('abcdefg'); call vt('abcdefg  '); call vt('')
  write(u, '(a5,"|",a5,"|",a,"|",a3)') 'ab', 'abcdefg', 'abcdefg  ', ''
  call finish()
  call case_t('a-exact', '(a4,a4)', ['abcd', 'ab  '])

  ! ---- Literals, blanks, case, spaces, repeat counts, groups, slash, colon.
  call begin('literals-quotes', '(''it''''s'',"dq""x",'' a b '')')
  write(u, '(''it''''s'',"dq""x",'' a b '')')
  call finish()
  call begin('blanks-and-case', '(A 5 , 2 X, I 4, 1X, F 6 . 2 , E S 1 0 . 2)')
  call vt('ab'); call vi(12); call vr(1.5d0); call vr(-2.5d0)
  write(u, '(A 5 , 2 X, I 4, 1X, F 6 . 2 , E S 1 0 . 2)') 'ab', 12, 1.5d0, -2.5d0
  call finish()
  call case_i('trailing-x', '(2x,i3,2x)', [5])
  call case_i('x-then-literal', '(2x,i3,2x,"lit",3x,i4,2x)', [5])
  call case_i('plain-x', '(i2,x,i2,2(x,i1))', [1, 2, 3, 4])
  call case_i('no-values', '(a5,i3)', [integer ::])
  call case_i('no-values-literal-then-x', '("x",2x)', [integer ::])
  call case_i('no-values-literal-stop', '("x",2x,a2,"y")', [integer ::])
  call case_i('only-blanks', '(3x)', [integer ::])
  call case_i('literal-after-last-item', '("Gp",i1,".dat")', [4])
  call case_i('colon', '(i3,:,"never")', [3])
  call case_i('colon-with-more', '(i3,:," more",i3)', [3, 4])
  call case_i('slash', '(i3/i3,"q"/)', [1, 2])
  call case_i('double-slash', '(i3//i3)', [1, 2])
  call case_i('repeat-group', '(3(i3,1x))', [1, 2, 3, 4])
  call case_i('nested-groups', '(i2,2(i3,2(i2,1x),"z"),i5)', [(k, k = 1, 14)])
  call case_i('nested-groups-slash', '(i2,2(i3,2(i2,1x),"z"),i5,/,"xx",i1)', [(k, k = 1, 14)])
  call case_i('reversion-literal', '("a",2(i2,"b"))', [1, 2, 3, 4, 5])
  call case_i('reversion-middle-group', '(i2,2(i3,x),i1)', [1, 2, 3, 4, 5, 6, 7])
  call case_i('reversion-last-group', '(i2,(i3,x),2(i1))', [1, 2, 3, 4, 5, 6, 7])
  call case_i('reversion-no-group', '(10i4)', [(k, k = 1, 23)])
  call case_i('reversion-exact', '(10i4)', [(k, k = 1, 20)])
  call case_i('many-records', '(i3)', [1, 2, 3])
  call case_r('empty-group-output', '(4(e15.7,2x))', [1d0, -2d0, 3d-5, 4d5])

  ! ---- Formats of the program's records, with representative values.
  call begin('param-line', '(i3,2x,a10,1x,a2,1x,ES14.7,3(ES12.4,1x))')
  call vi(1); call vt('amplitude'); call vt('f'); call vr(1.2345678901d0)
  call vr(0d0); call vr(10d0); call vr(1d-3)
  write(u, '(i3,2x,a10,1x,a2,1x,ES14.7,3(ES12.4,1x))') 1, 'amplitude', 'f', 1.2345678901d0, 0d0, 10d0, 1d-3
  call finish()
  call begin('param-line-reversion', '(i3,2x,a10,1x,a2,1x,ES14.7,3(ES12.4,1x))')
  call vi(12); call vt('a_rather_long_name'); call vt('fit'); call vr(-6.02214076d23)
  call vr(-1d-120); call vr(1d100); call vr(2.5d0); call vr(3.5d0); call vr(4.5d0)
  write(u, '(i3,2x,a10,1x,a2,1x,ES14.7,3(ES12.4,1x))') 12, 'a_rather_long_name', 'fit', -6.02214076d23, &
      -1d-120, 1d100, 2.5d0, 3.5d0, 4.5d0
  call finish()
  call begin('function-line', '(a20,1x,a4,1x,i4,1x,a20,2es15.4,i5,2x,a30)')
  call vt('datafile.dat'); call vt('yes'); call vi(3); call vt('lorentzian'); call vr(-12.5d0); call vr(1.25d3)
  call vi(250); call vt('a comment longer than thirty characters')
  write(u, '(a20,1x,a4,1x,i4,1x,a20,2es15.4,i5,2x,a30)') 'datafile.dat', 'yes', 3, 'lorentzian', -12.5d0, 1.25d3, &
      250, 'a comment longer than thirty characters'
  call finish()
  call case_r('chain-100F12.6', '(100F12.6)', [1d0, -0.5d0, 123456.789d0, 1234567.0d0, -1d-7, 0.0000005d0, 3.14159265358979d0])
  call begin('I2x3f', '(I2,x,3f10.5,1x,8x,10a)')
  call vi(7); call vr(1.5d0); call vr(-0.123456d0); call vr(12345.678d0); call vt('Gp'); call vt('7'); call vt('.dat')
  write(u, '(I2,x,3f10.5,1x,8x,10a)') 7, 1.5d0, -0.123456d0, 12345.678d0, 'Gp', '7', '.dat'
  call finish()
  call begin('F8.5-34x', '(F8.5,34x,19a)')
  call vr(-0.5d0); call vt('x'); call vt('yz')
  write(u, '(F8.5,34x,19a)') -0.5d0, 'x', 'yz'
  call finish()
  call begin('6f10.5-40a', '(6f10.5,2x,40a)')
  call vr(1d0); call vr(2d0); call vr(-3d0); call vr(0.125d0); call vr(99999.5d0); call vr(-99999.5d0); call vt('one'); call vt(' two')
  write(u, '(6f10.5,2x,40a)') 1d0, 2d0, -3d0, 0.125d0, 99999.5d0, -99999.5d0, 'one', ' two'
  call finish()
  call case_i('10i4-overflow', '(10i4)', [1, -1, 999, -999, 10000, 0, 42])
  call case_i('function-not-fitted', '(''Function '',i3,'' will NOT be fited'')', [4])
  call begin('function-fitted', '(''Function'',i3,1x,'' fitted from '',es15.6,'' to'',es15.6)')
  call vi(2); call vr(0.1d0); call vr(250d0)
  write(u, '(''Function'',i3,1x,'' fitted from '',es15.6,'' to'',es15.6)') 2, 0.1d0, 250d0
  call finish()
  call case_i('Gp-i2', '(''Gp'',i2,''.dat'')', [12])
  call case_i('gparpar', '(''gparpar'',i2,i2,''.dat'')', [3, 11])
  call case_i('inicif-i1', '(''inicif'',i1,''.dat'')', [5])
  call case_i('inicif-i2', '(''inicif'',i2,''.dat'')', [10])
  call begin('folder-Gp-i1', '(a4,''/Gp'',i1,''.dat'')')
  call vt('test'); call vi(3)
  write(u, '(a4,''/Gp'',i1,''.dat'')') 'test', 3
  call finish()
  call begin('folder-Gp-i2', '(a4,''/Gp'',i2,''.dat'')')
  call vt('tmpfolder'); call vi(10)
  write(u, '(a4,''/Gp'',i2,''.dat'')') 'tmpfolder', 10
  call finish()
  call case_r('peaks-100e15.7', '(100(e15.7,2x))', [1.5d0, -2.25d-3, 7.125d2])
  call case_r('fit-5e15.7', '(5(e15.7,2x))', [1d0, 2d0, 3d0, 4d0, 5d0])
  call case_r('fit-6es15.7', '(6(es15.7,2x))', [1d0, -2d0, 3d-200, 4d0])
  call begin('2I8-a18', '(2I8,2x,24x,a18)')
  call vi(100000); call vi(-5); call vt('label')
  write(u, '(2I8,2x,24x,a18)') 100000, -5, 'label'
  call finish()
  call case_i('2i3', '(2i3)', [1, 2, 3])
  call begin('2i3-40a', '(2i3,2x,40a)')
  call vi(1); call vi(2); call vt('ab'); call vt('cd')
  write(u, '(2i3,2x,40a)') 1, 2, 'ab', 'cd'
  call finish()
  call case_r('4es15.6', '(4es15.6)', [1d0, 2d0, 3d0, 4d0, 5d0])
  call begin('F12.6-a34', '(F12.6,2x,a34)')
  call vr(-1234.5678915d0); call vt('chi-square of the best fit')
  write(u, '(F12.6,2x,a34)') -1234.5678915d0, 'chi-square of the best fit'
  call finish()
  call begin('I4-3F12.6-a50', '(I4,1x,i4,1x,3F12.6,1x,a50)')
  call vi(1); call vi(2); call vr(0.1d0); call vr(0.2d0); call vr(0.3d0); call vt('name')
  write(u, '(I4,1x,i4,1x,3F12.6,1x,a50)') 1, 2, 0.1d0, 0.2d0, 0.3d0, 'name'
  call finish()
  call begin('I8-31x-a11', '(I8,2x,31x,a11)')
  call vi(123); call vt('iterations')
  write(u, '(I8,2x,31x,a11)') 123, 'iterations'
  call finish()
  call begin('I8-32x-a5', '(I8,2x,32x,a5)')
  call vi(-123); call vt('steps!')
  write(u, '(I8,2x,32x,a5)') -123, 'steps!'
  call finish()
  call begin('a-i5-a-i5-a', '(a,i5,a,i5,a)')
  call vt(' Run '); call vi(3); call vt(' of'); call vi(10); call vt(' done')
  write(u, '(a,i5,a,i5,a)') ' Run ', 3, ' of', 10, ' done'
  call finish()
  call begin('a14-2es15.5-a15', '(a14,2es15.5,2x,a15)')
  call vt('interval'); call vr(-1d-5); call vr(1d5); call vt('units')
  write(u, '(a14,2es15.5,2x,a15)') 'interval', -1d-5, 1d5, 'units'
  call finish()
  call begin('a15-a3-i4', '(a15,1x,a3,1x,i4,1x,a15,2f10.5,i3,2x,a21)')
  call vt('data.dat'); call vt('y'); call vi(1); call vt('gauss'); call vr(0.5d0); call vr(-100000d0)
  call vi(7); call vt('comment')
  write(u, '(a15,1x,a3,1x,i4,1x,a15,2f10.5,i3,2x,a21)') 'data.dat', 'y', 1, 'gauss', 0.5d0, -100000d0, 7, 'comment'
  call finish()
  call case_t('a15a15', '(a15,a15)', ['sixteen chars xx', 'short           '])
  call begin('a18a4a8', '(a18,a4,a8)')
  call vt('title'); call vt('abcdef'); call vt('z')
  write(u, '(a18,a4,a8)') 'title', 'abcdef', 'z'
  call finish()
  call begin('a20-a20-a11', '(a20,1x,a20,1x,a11)')
  call vt('left'); call vt('middle'); call vt('right')
  write(u, '(a20,1x,a20,1x,a11)') 'left', 'middle', 'right'
  call finish()
  call begin('title-line', '(a20,i2,2x,i2,2x,i2,2x,a55)')
  call vt('Fit of a spectrum'); call vi(1); call vi(0); call vi(3); call vt('interactive, plot, number of functions')
  write(u, '(a20,i2,2x,i2,2x,i2,2x,a55)') 'Fit of a spectrum', 1, 0, 3, 'interactive, plot, number of functions'
  call finish()
  call case_t('header-columns', '(a5,16x,a3,2x,a4,1x,a6,19x,a4,11x,a4,8x,a8)', ['n ', 'na', 'fi', 'st', 'mi', 'ma', 'co'])
  call begin('a5i3', '(a5,i3)')
  call vt('npar='); call vi(12)
  write(u, '(a5,i3)') 'npar=', 12
  call finish()
  call begin('a5i5a20i5', '(a5,i5,a20,i5)')
  call vt('n'); call vi(1); call vt('m'); call vi(100000)
  write(u, '(a5,i5,a20,i5)') 'n', 1, 'm', 100000
  call finish()
  v9 = [(k * 1.5d0, k = 1, 9)]
  call begin('a6-4f12.6-reversion', '(a6,4f12.6)')
  call vt('abc'); call vr(v9(1)); call vr(v9(2)); call vr(v9(3)); call vr(v9(4))
  call vt('de'); call vr(v9(5)); call vr(v9(6)); call vr(v9(7))
  write(u, '(a6,4f12.6)') 'abc', v9(1:4), 'de', v9(5:7)
  call finish()
  call begin('a6a15a6f12.6', '(a6,a15,a6,f12.6)')
  call vt('par'); call vt('value'); call vt('='); call vr(-0.0000004d0)
  write(u, '(a6,a15,a6,f12.6)') 'par', 'value', '=', -0.0000004d0
  call finish()
  call case_t('a6a4a13', '(a6,a4,a13)', ['abcdefgh', 'ab      ', 'x       '])
  call begin('a6i5a19', '(a6,i5,a19)')
  call vt('run'); call vi(-9999); call vt('finished')
  write(u, '(a6,i5,a19)') 'run', -9999, 'finished'
  call finish()
  call begin('a7-10f12.6', '(a7,10f12.6)')
  call vt('means'); call vr(1d0); call vr(-1d0); call vr(1d6); call vr(1d5)
  write(u, '(a7,10f12.6)') 'means', 1d0, -1d0, 1d6, 1d5
  call finish()
  call begin('a7-10i12', '(a7,10i12)')
  call vt('counts'); call vi(0); call vi(-2147483647); call vi(12)
  write(u, '(a7,10i12)') 'counts', 0, -2147483647, 12
  call finish()
  call begin('i4a10a3-4es15.6', '(i4,a10,a3,4es15.6)')
  call vi(1); call vt('p1'); call vt('yes'); call vr(1d0); call vr(2d0); call vr(3d0); call vr(4d0)
  write(u, '(i4,a10,a3,4es15.6)') 1, 'p1', 'yes', 1d0, 2d0, 3d0, 4d0
  call finish()
  call begin('i5-11a', '(i5,2x,11a)')
  call vi(1); call vt('a'); call vt('b c'); call vt('d')
  write(u, '(i5,2x,11a)') 1, 'a', 'b c', 'd'
  call finish()
  call begin('i5-17a', '(i5,2x,17a)')
  call vi(17); call vt('x ')
  write(u, '(i5,2x,17a)') 17, 'x '
  call finish()
  call begin('i5-a14', '(i5,2x,a14)')
  call vi(5); call vt('fourteen chars')
  write(u, '(i5,2x,a14)') 5, 'fourteen chars'
  call finish()
  call begin('i5-a18', '(i5,2x,a18)')
  call vi(5); call vt('q')
  write(u, '(i5,2x,a18)') 5, 'q'
  call finish()
  call begin('i5-a7', '(i5,2x,a7)')
  call vi(5); call vt('seven chars')
  write(u, '(i5,2x,a7)') 5, 'seven chars'
  call finish()
  call begin('i5-f12.6', '(i5,2x,f12.6)')
  call vi(5); call vr(1d5 / 3d0)
  write(u, '(i5,2x,f12.6)') 5, 1d5 / 3d0
  call finish()
  call begin('title-a11a21a2', '(a11,a21,a2)')
  call vt('set title "'); call vt('Contour of parameters  ampli width'); call vt(' "')
  write(u, '(a11,a21,a2)') 'set title "', 'Contour of parameters  ampli width', ' "'
  call finish()
  call begin('a15es15.5', '(a15,es15.5)')
  call vt('Evidence:'); call vr(1.234567d-45)
  write(u, '(a15,es15.5)') 'Evidence:', 1.234567d-45
  call finish()
  call begin('a22-i2-a20', '(a22,1x,i2,1x,a20)')
  call vt('Calculando contorno:'); call vi(3); call vt('contour3.dat')
  write(u, '(a22,1x,i2,1x,a20)') 'Calculando contorno:', 3, 'contour3.dat'
  call finish()
  call begin('a24-2a5', '(a24,2a5)')
  call vt('Contour of parameters:  '); call vt('amplitude'); call vt('w')
  write(u, '(a24,2a5)') 'Contour of parameters:  ', 'amplitude', 'w'
  call finish()
  call case_t('a3a5a5-6a12', '(a3,1x,a5,a5,1x,6a12)', ['ip     ', 'name   ', 'Nchng  ', 'Pmed   ', 'Pmax   ', 'errdown', 'errup  ', 'erel   '])
  call begin('a30es15.5', '(a30,es15.5)')
  call vt('Chi-square minimum'); call vr(123.456d0)
  write(u, '(a30,es15.5)') 'Chi-square minimum', 123.456d0
  call finish()
  call begin('a40es15.5', '(a40,es15.5)')
  call vt('Log evidence'); call vr(-0d0)
  write(u, '(a40,es15.5)') 'Log evidence', -0d0
  call finish()
  call case_t('a4a12', '(a4,a12)', ['temp ', 'x    '])
  call case_t('a4a8', '(a4,a8)', ['ab', 'cd'])
  call begin('a5-i6-7group', '(a5,2x,i6,7(x,es15.7))')
  call vt('ampli'); call vi(123456); call vr(1d0); call vr(2d0); call vr(3d0); call vr(4d0); call vr(5d0); call vr(6d0); call vr(7d0)
  write(u, '(a5,2x,i6,7(x,es15.7))') 'ampli', 123456, 1d0, 2d0, 3d0, 4d0, 5d0, 6d0, 7d0
  call finish()
  call case_t('a7a6-7a16', '(a7,a6,7a16)', ['Parameter  ', 'Nchanges   ', 'Parminchisq', 'Media      ', 'highprob   ', &
      'errdown    ', 'errup      ', 'diff       ', 'reldiff    '])
  call begin('i3a5i5-6f12.6', '(i3,1x,a5,i5,1x,6f12.6)')
  call vi(1); call vt('width'); call vi(500); call vr(1d0); call vr(2d0); call vr(3d0); call vr(4d0); call vr(5d0); call vr(6d0)
  write(u, '(i3,1x,a5,i5,1x,6f12.6)') 1, 'width', 500, 1d0, 2d0, 3d0, 4d0, 5d0, 6d0
  call finish()
  call begin('i3-2es20.8-a', '(i3,2x,2es20.8,a)')
  call vi(1); call vr(1d0/3d0); call vr(-2d0/3d0); call vt(' <-')
  write(u, '(i3,2x,2es20.8,a)') 1, 1d0/3d0, -2d0/3d0, ' <-'
  call finish()
  call begin('i3-a12-2es15.6', '(i3,2x,a12,2es15.6)')
  call vi(1); call vt('name'); call vr(1d0); call vr(2d0)
  write(u, '(i3,2x,a12,2es15.6)') 1, 'name', 1d0, 2d0
  call finish()
  call begin('i3-es20.8', '(i3,2x,es20.8)')
  call vi(1); call vr(6.62607015d-34)
  write(u, '(i3,2x,es20.8)') 1, 6.62607015d-34
  call finish()

  ! ---- Exact ties k/8 in every real form.
  do k = -20, 20
    write(id, '(a,i3.2)') 'tie', k
    call case_r(trim(id), '(f6.2,f5.1,f4.0,e10.2,es10.1)', [(k / 8d0, j = 1, 5)])
  end do

  ! ---- Random reals, log-uniform in magnitude over 1e-120 .. 1e120, both signs.
  seed = 20240611_int64
  do k = 1, 300
    x = 10d0 ** (240d0 * uniform(seed) - 120d0)
    if (uniform(seed) < 0.5d0) x = -x
    r4 = x
    write(id, '(a,i3.3)') 'rnd', k
    call case_r(trim(id), rfmt, r4)
  end do
  ! ... and over 1e-8 .. 1e6, where f12.6 has digits to round.
  do k = 1, 120
    x = 10d0 ** (14d0 * uniform(seed) - 8d0)
    if (uniform(seed) < 0.5d0) x = -x
    r4 = x
    write(id, '(a,i3.3)') 'rnf', k
    call case_r(trim(id), rfmt, r4)
  end do
end program
